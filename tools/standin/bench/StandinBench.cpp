// How long the stand-in takes to answer Karvath's catalogue queries: once on its own (no
// network) and once through unixODBC + FreeTDS over loopback, the way Karvath asks.
#include <benchmark/benchmark.h>

#include <memory>

#include "OdbcClient.h"
#include "Sql.h"
#include "Tds.h"
#include "standin/Server.h"

using namespace karvath::standin;

namespace {

constexpr const char* kCount = "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES";
constexpr const char* kNames = "SELECT NAME FROM MASTER.DBO.SYSDATABASES";
constexpr const char* kFiles =
    "select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
    "sys.master_files where database_id=db_id(N'Database_500');";

State manyDatabases(int n) {
    State s = State::withSystemDatabases();
    for (int i = 0; i < n; ++i) s.addDatabase("Database_" + std::to_string(i));
    return s;
}

void runBatchOnly(benchmark::State& st, const char* sql) {
    State state = manyDatabases(static_cast<int>(st.range(0)));
    Session session;
    for (auto _ : st) {
        tds::TokenWriter w(tds::kTds74);
        runBatch(sql, state, session, w);
        benchmark::DoNotOptimize(w.bytes().data());
    }
}

struct Odbc {
    explicit Odbc(int databases) : server(manyDatabases(databases)) {
        port = server.start();
        const std::string conn = "DRIVER=SQL Server;SERVER=127.0.0.1," + std::to_string(port) +
                                 ";UID=sa;PWD=Karvath#2026;DATABASE=master;";
        ok = port != 0 && client.connect(conn);
    }
    Server server;
    int port = 0;
    test::OdbcConnection client;
    bool ok = false;
};

void throughOdbc(benchmark::State& st, const char* sql) {
    Odbc o(static_cast<int>(st.range(0)));
    if (!o.ok) {
        st.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : st) {
        const auto r = o.client.execute(sql);
        if (!r.ok) st.SkipWithError("query failed");
        benchmark::DoNotOptimize(r.rows.size());
    }
}

}  // namespace

BENCHMARK_CAPTURE(runBatchOnly, count, kCount)->Arg(8)->Arg(1000);
BENCHMARK_CAPTURE(runBatchOnly, files, kFiles)->Arg(8)->Arg(1000);
BENCHMARK_CAPTURE(runBatchOnly, names, kNames)->Arg(8)->Arg(1000);
BENCHMARK_CAPTURE(throughOdbc, count, kCount)->Arg(8)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(throughOdbc, files, kFiles)->Arg(8)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(throughOdbc, names, kNames)->Arg(8)->Arg(1000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
