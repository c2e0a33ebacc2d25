#include <cstdint>
#include <string>
#include <vector>

#include "SqlLogicFixture.h"
#include "sql/LogText.h"

namespace {

using Row = std::array<std::string, 2>;
using Rows = std::vector<Row>;

// --- the texts of the list ---

struct LocalSizeCase {
    std::int64_t bytes;
    std::string text;
};

class LocalSizeText : public ::testing::TestWithParam<LocalSizeCase> {};

TEST_P(LocalSizeText, CountsKbOf1024BytesAndShowsThousands) {
    EXPECT_EQ(localSizeText(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, LocalSizeText,
                         ::testing::Values(LocalSizeCase{-1, "0 KB"}, LocalSizeCase{0, "0 KB"},
                                           LocalSizeCase{1023, "0 KB"}, LocalSizeCase{1024, "1 KB"},
                                           LocalSizeCase{1048575, "1023 KB"},
                                           LocalSizeCase{1048576, "1.024 MB"},
                                           LocalSizeCase{1073741823, "1048.575 MB"},
                                           LocalSizeCase{1073741824, "1.048576 GB"},
                                           LocalSizeCase{3221225472, "3.145728 GB"},
                                           LocalSizeCase{4398046511104, "4294.967296 GB"}));

struct RemoteSizeCase {
    double pages;
    std::string text;
};

class RemoteSizeText : public ::testing::TestWithParam<RemoteSizeCase> {};

TEST_P(RemoteSizeText, DividesPagesBy124AndRoundsToTwoDecimals) {
    EXPECT_EQ(remoteSizeText(GetParam().pages), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoteSizeText,
                         ::testing::Values(RemoteSizeCase{0, "0 KB"}, RemoteSizeCase{1, "8.06 KB"},
                                           RemoteSizeCase{126, "1016.13 KB"},
                                           RemoteSizeCase{127, "1.02 MB"},
                                           RemoteSizeCase{1024, "8.26 MB"},
                                           RemoteSizeCase{130023, "1048.57 MB"},
                                           RemoteSizeCase{130024, "1.05 GB"}));

struct LogNameCase {
    std::string path;
    std::string name;
};

class LogNameText : public ::testing::TestWithParam<LogNameCase> {};

TEST_P(LogNameText, IsTheLoweredFileNameWithoutLdf) {
    EXPECT_EQ(logNameText(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogNameText,
    ::testing::Values(LogNameCase{"D:\\Data\\Shop_Log.LDF", "shop_log"},
                      LogNameCase{"Shop_Log.ldf", "shop_log"}, LogNameCase{"a.ldf.ldf", "a"},
                      LogNameCase{"D:\\x\\A.LDF.Ldf", "a"},
                      LogNameCase{"/var/opt/mssql/data/Shop_log.ldf", "shop_log"},
                      LogNameCase{"D:\\Data\\Shop.log", "shop.log"}, LogNameCase{"", ""},
                      LogNameCase{"D:\\数据\\销售库_LOG.LDF", "销售库_log"},
                      // 昞 (95 5C) ends in the byte of "\"; 腪 (C4 5A) in the byte of "Z".
                      LogNameCase{"D:\\Data\\\x95\x5C.ldf", "\x95\x5C"},
                      LogNameCase{"D:\\Data\\\xC4\x5A_LOG.LDF", "\xC4\x5A_log"}));

// --- isLocalServer ---

struct LocalCase {
    const char* label;
    std::string box, host, ip;
    bool local;
};

class IsLocalServer : public SqlLogicTest, public ::testing::WithParamInterface<LocalCase> {};

TEST_P(IsLocalServer, MatchesTheBoxAgainstThisMachinesAddressAndName) {
    view.state(编辑框_IP).text = GetParam().box;
    os.host = GetParam().host;
    os.ipv4 = GetParam().ip;
    EXPECT_EQ(isLocalServer(k), GetParam().local);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsLocalServer,
    ::testing::Values(
        LocalCase{"FirstAddress", "192.0.2.10", "testhost", "192.0.2.10", true},
        LocalCase{"HostName", "testhost", "testhost", "192.0.2.10", true},
        LocalCase{"HostNameWhenResolvingFails", "testhost", "testhost", "", true},
        LocalCase{"Loopback", "127.0.0.1", "testhost", "192.0.2.10", false},
        LocalCase{"Localhost", "localhost", "testhost", "192.0.2.10", false},
        LocalCase{"Local", "(local)", "testhost", "192.0.2.10", false},
        LocalCase{"OtherCase", "TESTHOST", "testhost", "192.0.2.10", false},
        LocalCase{"Spaces", " 192.0.2.10", "testhost", "192.0.2.10", false},
        LocalCase{"OtherServer", "10.0.0.5", "testhost", "192.0.2.10", false},
        LocalCase{"FifteenCharacters", "abcdefghijklmno", "abcdefghijklmno", "", true},
        LocalCase{"SixteenCharacters", "abcdefghijklmnop", "abcdefghijklmnop", "", false},
        LocalCase{"EmptyBoxFailedLookups", "", "", "", false},
        LocalCase{"EmptyBoxLongHost", "", "abcdefghijklmnop", "", false},
        LocalCase{"EmptyBox", "", "testhost", "192.0.2.10", false}),
    [](const auto& info) { return std::string(info.param.label); });

// --- the listings ---

class Listing : public SqlLogicTest {
protected:
    void SetUp() override {
        db.setDatabases({{"master", "D:\\Data\\mastlog.ldf", 256},
                         {"Shop", "D:\\Data\\Shop_Log.LDF", 127},
                         {"O'Brien", "D:\\Data\\OBrien_log.ldf", 1},
                         {"销售库", "D:\\数据\\销售库_log.ldf", 130024}});
        os.sizes["D:\\Data\\mastlog.ldf"] = 1048576;
        os.sizes["D:\\Data\\Shop_Log.LDF"] = 2048 * 1024;
        os.sizes["D:\\Data\\OBrien_log.ldf"] = 1023;
        os.sizes["D:\\数据\\销售库_log.ldf"] = 3221225472;
    }
};

TEST_F(Listing, LocalServerMeasuresEachLogOnDisk) {
    connectedTo(os.host);
    refreshLogStatus(k);
    EXPECT_EQ(rows(), (Rows{{"mastlog", "1.024 MB"},
                            {"shop_log", "2.048 MB"},
                            {"obrien_log", "0 KB"},
                            {"销售库_log", "3.145728 GB"}}));
    EXPECT_EQ(state.logFilePath, "D:\\数据\\销售库_log.ldf");
    EXPECT_EQ(state.logFileName, "销售库_log.ldf");
}

TEST_F(Listing, RemoteServerTakesTheCatalogueSizes) {
    connectedTo("10.0.0.5");
    refreshLogStatus(k);
    EXPECT_EQ(rows(), (Rows{{"mastlog", "2.06 MB"},
                            {"shop_log", "1.02 MB"},
                            {"obrien_log", "8.06 KB"},
                            {"销售库_log", "1.05 GB"}}));
}

TEST_F(Listing, ReopensTheSessionWithTheStoredLoginAndSendsTheCatalogueQueries) {
    connectedTo("10.0.0.5");
    view.state(超级列表框1).rows = {{"old", "1 KB"}};
    db.sent.clear();
    listLogStatusRemote(k);
    ASSERT_EQ(db.logins.size(), 2u);
    EXPECT_EQ(db.logins[1].server, "10.0.0.5");
    EXPECT_EQ(db.logins[1].login, "sa");
    EXPECT_EQ(db.logins[1].password, "pw");
    EXPECT_EQ(db.logins[1].database, "master");
    EXPECT_EQ(db.sent, (std::vector<std::string>{
                           "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES",
                           "SELECT NAME FROM MASTER.DBO.SYSDATABASES",
                           FakeSession::fileQuery("master"), FakeSession::fileQuery("Shop"),
                           FakeSession::fileQuery("O'Brien"), FakeSession::fileQuery("销售库")}));
    EXPECT_EQ(rows().size(), 4u);
}

TEST_F(Listing, AddsOneRowPerDatabaseAlsoWhenLogNamesRepeat) {
    db.setDatabases({{"A", "D:\\x\\shared_log.ldf", 8},
                     {"B", "E:\\y\\shared_log.ldf", 8},
                     {"C", "D:\\x\\shared_log.ldf", 8}});
    connectedTo("10.0.0.5");
    refreshLogStatus(k);
    EXPECT_EQ(rows(), (Rows(3, Row{"shared_log", "64.52 KB"})));
}

TEST_F(Listing, ReadsTheRealLogOfANameWithAQuote) {
    db.setDatabases({{"O'Brien", "D:\\Data\\OBrien_log.ldf", 1024}});
    connectedTo("10.0.0.5");
    refreshLogStatus(k);
    EXPECT_EQ(rows(), (Rows{{"obrien_log", "8.26 MB"}}));
}

TEST_F(Listing, ALogMissingOnThisDiskShowsZero) {
    os.sizes.erase("D:\\Data\\Shop_Log.LDF");
    connectedTo(os.ipv4);
    refreshLogStatus(k);
    EXPECT_EQ(rows()[1], (Row{"shop_log", "0 KB"}));
}

TEST_F(Listing, AFailedFileQueryShowsAnEmptyNameAndZeroInBothListings) {
    db.answers.erase(FakeSession::fileQuery("Shop"));
    for (bool local : {true, false}) {
        SCOPED_TRACE(local ? "local" : "remote");
        connectedTo(local ? os.host : "10.0.0.5");
        refreshLogStatus(k);
        ASSERT_EQ(rows().size(), 4u);
        EXPECT_EQ(rows()[1], (Row{"", "0 KB"}));
        EXPECT_EQ(rows()[2][0], "obrien_log");
    }
    EXPECT_EQ(measureLocalLogSize(k, "Shop"), -0.0009765625f);
    EXPECT_EQ(state.logFilePath, "");
    EXPECT_EQ(measureRemoteLogSize(k, "Shop"), 0.0f);
}

struct BrokenCatalogueCase {
    const char* label;
    bool loginFails;
    std::string missingAnswer;
};

class BrokenCatalogue : public Listing,
                        public ::testing::WithParamInterface<BrokenCatalogueCase> {};

TEST_P(BrokenCatalogue, LeavesTheListEmpty) {
    for (bool local : {true, false}) {
        SCOPED_TRACE(local ? "local" : "remote");
        connectedTo(local ? os.host : "10.0.0.5");
        refreshLogStatus(k);
        ASSERT_EQ(rows().size(), 4u);
        db.loginsSucceed = !GetParam().loginFails;
        auto saved = db.answers;
        db.answers.erase(GetParam().missingAnswer);
        refreshLogStatus(k);
        EXPECT_TRUE(rows().empty());
        db.loginsSucceed = true;
        db.answers = saved;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenCatalogue,
    ::testing::Values(
        BrokenCatalogueCase{"SessionNotReopened", true, ""},
        BrokenCatalogueCase{"CountFails", false, "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES"},
        BrokenCatalogueCase{"NamesFail", false, "SELECT NAME FROM MASTER.DBO.SYSDATABASES"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Listing, StopsWhereTheNamesRunOutBeforeTheCount) {
    // A database dropped between the count and the names.
    db.answers["SELECT NAME FROM MASTER.DBO.SYSDATABASES"].rows.pop_back();
    db.answers["SELECT Name FROM Master..SysDatabases"].rows.pop_back();
    connectedTo("10.0.0.5");
    refreshLogStatus(k);
    EXPECT_EQ(rows().size(), 3u);
    fillDatabaseList(k);
    EXPECT_EQ(view.state(组合框_库名).items,
              (std::vector<std::string>{"master", "Shop", "O'Brien"}));
}

// --- the chooser ---

TEST_F(Listing, FillsTheChooserFromTheOpenSessionInServerOrder) {
    connectedTo("10.0.0.5");
    view.state(组合框_库名).items = {"old"};
    view.state(组合框_库名).selected = 0;
    state.selectedDatabase = "Shop";
    db.sent.clear();
    fillDatabaseList(k);
    EXPECT_EQ(view.state(组合框_库名).items,
              (std::vector<std::string>{"master", "Shop", "O'Brien", "销售库"}));
    EXPECT_EQ(view.state(组合框_库名).selected, -1);
    EXPECT_EQ(state.selectedDatabase, "Shop");
    EXPECT_EQ(db.logins.size(), 1u);  // not reopened
    EXPECT_EQ(db.sent, (std::vector<std::string>{"SELECT count(name) FROM master.dbo.sysdatabases",
                                                 "SELECT Name FROM Master..SysDatabases"}));
}

TEST_F(Listing, AChooserWithoutACountIsEmpty) {
    connectedTo("10.0.0.5");
    fillDatabaseList(k);
    db.answers.erase("SELECT count(name) FROM master.dbo.sysdatabases");
    fillDatabaseList(k);
    EXPECT_TRUE(view.state(组合框_库名).items.empty());
    db.closeConnection();
    fillDatabaseList(k);
    EXPECT_TRUE(view.state(组合框_库名).items.empty());
}

TEST_F(Listing, ChoosingADatabaseSavesItAtOnce) {
    connectedTo("10.0.0.5");
    fillDatabaseList(k);
    view.choose(组合框_库名, 3);
    EXPECT_EQ(state.selectedDatabase, "销售库");
    EXPECT_EQ(setting("指定库"), "销售库");
    view.choose(组合框_库名, 2);
    EXPECT_EQ(state.selectedDatabase, "O'Brien");
    EXPECT_EQ(setting("指定库"), "O'Brien");
    EXPECT_EQ(db.logins.size(), 1u);  // nothing listed
    EXPECT_EQ(db.sent.size(), 2u);    // nothing measured
}

// --- the measurements ---

TEST_F(Listing, MeasuresOneLogOnDiskOrFromTheCatalogue) {
    connectedTo(os.host);
    EXPECT_EQ(measureLocalLogSize(k, "销售库"), 3145728.0f);
    EXPECT_EQ(state.logFilePath, "D:\\数据\\销售库_log.ldf");
    EXPECT_EQ(measureLocalLogSize(k, "O'Brien"), 1023.0f / 1024);
    EXPECT_EQ(measureRemoteLogSize(k, "销售库"), static_cast<float>(130024 / 124.0));
    EXPECT_EQ(measureRemoteLogSize(k, "Shop"), static_cast<float>(127 / 124.0));
    os.sizes.erase("D:\\Data\\Shop_Log.LDF");
    EXPECT_EQ(measureLocalLogSize(k, "Shop"), -0.0009765625f);
    EXPECT_EQ(state.logFilePath, "D:\\Data\\Shop_Log.LDF");
}

// --- the list label ---

class LabelPress : public Listing {
protected:
    void SetUp() override {
        Listing::SetUp();
        connectedTo("10.0.0.5");
        refreshLogStatus(k);
    }
    struct Seen {
        std::string text;
        bool visible;
        std::size_t rows;
    };
    void look(std::int64_t ms) {
        view.at(ms, [this] {
            seen.push_back({view.state(透明标签_loading).text, view.state(透明标签_loading).visible,
                            rows().size()});
        });
    }
    std::vector<Seen> seen;
};

TEST_F(LabelPress, AnimatesThreeDotsThenRedraws) {
    look(250);
    look(750);
    look(1250);
    view.press(透明标签_log状态);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].text, "Loading.");
    EXPECT_EQ(seen[1].text, "Loading..");
    EXPECT_EQ(seen[2].text, "Loading...");
    for (const Seen& s : seen) {
        EXPECT_TRUE(s.visible);
        EXPECT_EQ(s.rows, 0u);
    }
    EXPECT_EQ(view.waits(), (std::vector<int>{500, 500, 500}));
    EXPECT_EQ(clock.ms(), 1500);
    EXPECT_FALSE(view.state(透明标签_loading).visible);
    EXPECT_EQ(view.state(透明标签_loading).text, "Loading");
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_EQ(db.logins.size(), 3u);
}

TEST_F(LabelPress, ASecondPressDuringTheAnimationIsIgnored) {
    view.at(700, [this] { view.press(透明标签_log状态); });
    view.press(透明标签_log状态);
    EXPECT_EQ(view.waits().size(), 3u);
    EXPECT_EQ(db.logins.size(), 3u);
    EXPECT_EQ(view.state(透明标签_loading).text, "Loading");
}

TEST_F(LabelPress, IsIgnoredWhileACleanupHoldsTheLabel) {
    view.state(透明标签_loading).text = " Loading";
    view.press(透明标签_log状态);
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_TRUE(view.waits().empty());
    EXPECT_EQ(db.logins.size(), 2u);
    EXPECT_EQ(view.state(透明标签_loading).text, " Loading");
}

TEST_F(LabelPress, ChoosesTheMeasureAnew) {
    view.state(编辑框_IP).text = os.host;  // as if typed before the connect
    view.press(透明标签_log状态);
    EXPECT_EQ(rows()[0], (Row{"mastlog", "1.024 MB"}));
}

}  // namespace
