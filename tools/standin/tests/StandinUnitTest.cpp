// The stand-in's pieces that need no network: state files, text conversion, tokenizer, framing.
#include <gtest/gtest.h>

#include "Sql.h"
#include "Tds.h"
#include "Text.h"
#include "standin/Decode.h"
#include "standin/Server.h"

namespace karvath::standin {
namespace {

TEST(StandinText, Utf16RoundTrip) {
    const std::string texts[] = {"", "master", "销售库", "a]b'c", "emoji \xF0\x9F\x98\x80 too"};
    for (const std::string& t : texts) {
        EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(t)), t);
    }
    EXPECT_EQ(utf8ToUtf16("销"), std::u16string(u"\u9500"));
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);  // a surrogate pair
    EXPECT_EQ(utf8ToUtf16("\xFF"), std::u16string(u"\uFFFD"));
}

TEST(StandinText, NamesCompareLikeACaseInsensitiveCollation) {
    EXPECT_TRUE(equalsNoCase("Shop_LOG", "shop_log"));
    EXPECT_TRUE(equalsNoCase("销售库", "销售库"));
    EXPECT_FALSE(equalsNoCase("Shop", "Shop "));
}

TEST(StandinSql, TokenizerUnquotesNamesAndLiterals) {
    const auto r = tokenize("USE [a]]b] SELECT N'x''y', 'z' -- c\n/* d */ 42;");
    ASSERT_FALSE(r.unclosed);
    std::vector<std::pair<SqlToken::Kind, std::string>> got;
    for (const SqlToken& t : r.tokens) got.emplace_back(t.kind, t.text);
    using K = SqlToken::Kind;
    const std::vector<std::pair<K, std::string>> expected = {
        {K::Word, "USE"},    {K::Quoted, "a]b"}, {K::Word, "SELECT"},
        {K::NString, "x'y"}, {K::Symbol, ","},   {K::String, "z"},
        {K::Number, "42"},   {K::Symbol, ";"},   {K::End, ""}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(tokenize("SELECT N'abc").unclosed, "abc");
    EXPECT_EQ(tokenize("USE [abc").unclosed, "abc");
}

TEST(StandinTds, PacketsRespectThePacketSize) {
    tds::Bytes payload(1500);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
    const tds::Bytes wire = tds::framePackets(tds::kTabularResult, payload, 512, 51);
    // 504 payload bytes per packet: 504 + 504 + 492.
    ASSERT_EQ(wire.size(), 1500u + 3 * tds::kHeaderSize);
    tds::Bytes joined;
    std::size_t at = 0;
    int packets = 0;
    while (at < wire.size()) {
        const std::size_t len = (wire[at + 2] << 8) | wire[at + 3];
        EXPECT_LE(len, 512u);
        EXPECT_EQ(wire[at + 6], packets + 1);  // packet id
        ++packets;
        const bool last = at + len == wire.size();
        EXPECT_EQ(wire[at + 1], last ? tds::kStatusEom : 0);
        joined.insert(joined.end(), wire.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      wire.begin() + static_cast<std::ptrdiff_t>(at + len));
        at += len;
    }
    EXPECT_EQ(packets, 3);
    EXPECT_EQ(joined, payload);
}

TEST(StandinTds, PasswordObfuscationIsUndoneByTheLoginParser) {
    // A minimal TDS 7.4 LOGIN7 carrying user and password only.
    const std::u16string user = u"sa";
    const tds::Bytes password = tds::obfuscatePassword("Kärvath#2026");
    tds::Bytes p(94, 0);
    auto put16 = [&](std::size_t at, std::size_t v) {
        p[at] = static_cast<std::uint8_t>(v);
        p[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    p[4] = 0x04;
    p[7] = 0x74;
    put16(40, p.size());
    put16(42, user.size());
    for (char16_t ch : user) {
        p.push_back(static_cast<std::uint8_t>(ch));
        p.push_back(static_cast<std::uint8_t>(ch >> 8));
    }
    put16(44, p.size());
    put16(46, password.size() / 2);
    p.insert(p.end(), password.begin(), password.end());
    for (std::size_t at : {36u, 48u, 52u, 64u, 68u}) put16(at, p.size());
    const auto login = tds::parseLogin7(p);
    ASSERT_TRUE(login);
    EXPECT_EQ(login->tdsVersion, tds::kTds74);
    EXPECT_EQ(login->user, "sa");
    EXPECT_EQ(login->password, "Kärvath#2026");
    EXPECT_EQ(login->database, "");
}

TEST(StandinDecode, BatchesAndPreparedStatementsGiveTheirText) {
    // A TDS 7.4 batch: ALL_HEADERS (total length 22, one transaction header) then UCS-2 text.
    tds::Bytes batch = {22, 0, 0, 0, 18, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    for (char16_t ch : utf8ToUtf16("USE 销售库")) {
        batch.push_back(static_cast<std::uint8_t>(ch));
        batch.push_back(static_cast<std::uint8_t>(ch >> 8));
    }
    const auto r = decodeRequest(tds::kSqlBatch, batch, tds::kTds74);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, DecodedRequest::Kind::SqlBatch);
    EXPECT_EQ(r->sql, "USE 销售库");
    // Without ALL_HEADERS the same bytes are not a 7.4 batch, but are a 7.1 one.
    const tds::Bytes bare(batch.begin() + 22, batch.end());
    EXPECT_EQ(decodeRequest(tds::kSqlBatch, bare, tds::kTds71)->sql, "USE 销售库");
    EXPECT_FALSE(decodeRequest(tds::kLogin7, {1, 2, 3}, tds::kTds74));
}

TEST(StandinDecode, EveryAnswerEndsWithDone) {
    State state = State::withSystemDatabases();
    const char* batches[] = {"SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES", "USE Nowhere",
                             "nonsense", "", "DBCC SHRINKFILE (N'mastlog' , 0, TRUNCATEONLY)"};
    for (std::uint32_t version : {tds::kTds71, tds::kTds74}) {
        const std::size_t doneSize = version >= tds::kTds72 ? 13 : 9;
        for (const char* sql : batches) {
            const auto answer = answerBatch(sql, state, version);
            ASSERT_GE(answer.size(), doneSize) << sql;
            EXPECT_EQ(answer[answer.size() - doneSize], 0xFD) << sql;
        }
    }
}

TEST(StandinStateFile, DemoStateLoads) {
    Faults faults;
    std::string error;
    const auto state = loadStateFile(STANDIN_DEMO_INI, &faults, &error);
    ASSERT_TRUE(state) << error;
    ASSERT_EQ(state->logins.size(), 1u);
    EXPECT_EQ(state->logins[0].user, "sa");
    EXPECT_EQ(state->logins[0].password, "Karvath#2026");
    std::vector<std::string> names;
    for (const Database& d : state->databases) names.push_back(d.name);
    EXPECT_EQ(names, (std::vector<std::string>{"master", "tempdb", "model", "msdb", "Shop",
                                               "销售库", "Archive", "HR", "Legacy"}));
    const Database* shop = state->findDatabase("shop");
    ASSERT_TRUE(shop);
    ASSERT_EQ(shop->files.size(), 2u);
    EXPECT_EQ(shop->files[1].realFile, "Shop_log.ldf");
    EXPECT_EQ(shop->files[1].sizePages, 157287);  // 1.2 GB, rounded up to whole pages
    EXPECT_EQ(shop->files[1].minPages, 128);
    EXPECT_EQ(shop->files[1].activePages, 2560);
    EXPECT_EQ(state->findDatabase("Archive")->recovery, Recovery::Simple);
    EXPECT_EQ(state->findDatabase("Archive")->files[1].sizePages, 3);
    EXPECT_TRUE(state->findDatabase("HR")->findFile("HR_Journal"));
    EXPECT_EQ(state->findDatabase("Legacy")->files[1].physicalPath, "D:\\Data\\Legacy_Log.LDF");
    EXPECT_TRUE(faults.statements.empty());
}

TEST(StandinStateFile, FaultsAndDefaults) {
    Faults faults;
    std::string error;
    const auto state = parseState(
        "[database]\nname = Tiny\nid = 42\nrecovery = bulk_logged\n"
        "[faults]\nrefuse_logins = true\nlogin_delay_ms = 250\ndrop_after_statements = 3\n"
        "delay = 2000 | DBCC SHRINKFILE\ndeny_regex = 15247 | ^alter\n"
        "drop_connection = USE \ndrop_database = Tiny | count(NAME)\n",
        &faults, &error);
    ASSERT_TRUE(state) << error;
    EXPECT_EQ(state->logins.size(), 1u);  // the built-in sa login when none is given
    const Database* tiny = state->findDatabase("Tiny");
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->id, 42);
    EXPECT_EQ(tiny->recovery, Recovery::BulkLogged);
    ASSERT_EQ(tiny->files.size(), 2u);
    EXPECT_EQ(tiny->files[1].logicalName, "Tiny_log");
    EXPECT_TRUE(faults.refuseLogins);
    EXPECT_EQ(faults.loginDelayMs, 250);
    EXPECT_EQ(faults.dropAfterStatements, 3);
    ASSERT_EQ(faults.statements.size(), 4u);
    EXPECT_EQ(faults.statements[0].action, StatementFault::Action::Delay);
    EXPECT_EQ(faults.statements[0].delayMs, 2000);
    EXPECT_EQ(faults.statements[0].pattern, "DBCC SHRINKFILE");
    EXPECT_TRUE(faults.statements[1].regex);
    EXPECT_EQ(faults.statements[1].errorNumber, 15247);
    EXPECT_EQ(faults.statements[2].action, StatementFault::Action::DropConnection);
    EXPECT_EQ(faults.statements[3].database, "Tiny");
}

TEST(StandinStateFile, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"[database]\nrecovery = FULL\n", "line 2: name must come first in [database]"},
        {"[database]\nname = A\nrecovery = PARTIAL\n", "line 3: recovery must be"},
        {"[file]\ntype = LOG\n", "line 1: [file] before any [database]"},
        {"[database]\nname = A\n[file]\ntype = LOG\nsize = lots\n", "line 5: bad size lots"},
        {"[database]\nname = A\n[database]\nname = a\n", "line 4: duplicate database a"},
        {"[faults]\ndelay = soon | USE\n", "line 2: expected NUMBER | PATTERN"},
        {"[nonsense]\n", "line 1: unknown section [nonsense]"},
    };
    for (const Case& k : cases) {
        std::string error;
        EXPECT_FALSE(parseState(k.text, nullptr, &error)) << k.text;
        EXPECT_EQ(error.rfind(k.error, 0), 0u) << error;
    }
}

}  // namespace
}  // namespace karvath::standin
