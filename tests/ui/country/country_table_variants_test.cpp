// Private country tables: a record only the echo of the query names, codes
// the modem does not know or that have one character, and an empty table.
#include <gtest/gtest.h>

#include "tools/driver/window_query.h"
#include "tests/ui/country/country_fixture.h"

namespace country {
namespace {

const std::vector<Row> kPrivateRows = {
    {"Zedland", "ZEDLAND", "UK", "ZZ"},
    // "ati" is in the echo of "ati9", in no reply of the modem.
    {"Echoland", "ATI", "SPAIN", "A0"},
    {"United States", "UNITED STATES", "USA", "B5"},
    {"Onecode", "ONECODE", "FRANCE", "7"},
};

class PrivateTable : public ProgramTest {
protected:
    static void SetUpTestSuite() { StartProgram(TableText(kPrivateRows)); }
    static void TearDownTestSuite() { StopProgram(); }
};

TEST_F(PrivateTable, TheEchoOfTheQueryIsPartOfTheMatchedReply) {
    ASSERT_TRUE(P().ResetModem());
    Query query = P().PressCurrent();
    ASSERT_TRUE(query.done);
    EXPECT_EQ(query.record.tip, "Echoland");
    EXPECT_EQ(P().Selection(), 1);
    EXPECT_EQ(drv::ControlText(P().Main(), kCountryName), "Echoland");

    // The same reply without the echo names the modem's country.
    ASSERT_TRUE(P().SetKnob("echo", "0"));
    query = P().PressCurrent();
    ASSERT_TRUE(query.done);
    EXPECT_EQ(query.record.tip, "United States");
    EXPECT_EQ(P().Selection(), 2);
}

TEST_F(PrivateTable, CodesGoOutAsTheTableHoldsThem) {
    for (int index : {0, 3}) {
        const Row& row = kPrivateRows[static_cast<size_t>(index)];
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(P().ResetModem());
        ASSERT_TRUE(P().Choose(index, row.name));
        const SetBox box = P().PressSet();
        ASSERT_NE(box.box, nullptr) << "no box";
        EXPECT_EQ(P().Received(), "at%t19,0," + row.code + "\r\n");
        // The modem knows neither code and answers ERROR.
        EXPECT_NE(P().Sent().find("ERROR"), std::string::npos);
        EXPECT_EQ(box.text, "Error!  Country code setting failed!");
        ASSERT_TRUE(P().AnswerOk(box.box));
        ASSERT_TRUE(P().WaitIdle(10000));
    }
}

class EmptyTable : public ProgramTest {
protected:
    static void SetUpTestSuite() { StartProgram(std::string()); }
    static void TearDownTestSuite() { StopProgram(); }
};

TEST_F(EmptyTable, NoCountryIsRecognisedAndSetAsksForOne) {
    const std::vector<drv::TrayRecord> records = P().TrayRecords();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[2].tip, kUnknownTip);
    EXPECT_TRUE(drv::ComboItems(P().Item(kCountryList)).empty());
    EXPECT_EQ(P().AtStart().selection, CB_ERR);
    EXPECT_EQ(P().AtStart().name, "");
    EXPECT_EQ(P().AtStart().flagBits, 0u);

    ASSERT_TRUE(P().ResetModem());
    const SetBox box = P().PressSet();
    ASSERT_NE(box.box, nullptr) << "no box";
    EXPECT_EQ(box.text, "Please select a country from the list first.");
    ASSERT_TRUE(P().AnswerOk(box.box));
    ASSERT_TRUE(P().WaitIdle(10000));
    ASSERT_TRUE(P().PressCurrent().done);
    EXPECT_EQ(P().Received(), "ati9\r\n");
}

}  // namespace
}  // namespace country
