// Every country of the shipped table, set into the modem and read back: the
// table's codes and identification texts fit the modem.
#include <gtest/gtest.h>

#include "tools/driver/window_query.h"
#include "tests/ui/country/country_fixture.h"

namespace country {
namespace {

class RoundTrip : public ProgramTest {
protected:
    static void SetUpTestSuite() { StartProgram(std::nullopt); }
    static void TearDownTestSuite() { StopProgram(); }
};

TEST_F(RoundTrip, EveryCountryIsSetThenRecognised) {
    const std::vector<Row> rows = BuiltTable();
    ASSERT_EQ(rows.size(), drv::ComboItems(P().Item(kCountryList)).size());
    const int count = static_cast<int>(rows.size());
    for (int i = 0; i < count; ++i) {
        const Row& row = rows[static_cast<size_t>(i)];
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(P().Choose(i, row.name));
        ASSERT_TRUE(P().Modem().Clear(kModemCom));
        const size_t records = P().TrayRecords().size();

        const SetBox box = P().PressSet();
        ASSERT_NE(box.box, nullptr) << "no box";
        EXPECT_EQ(box.caption, "Congratulations");
        const std::string command = "at%t19,0," + row.code + "\r\n";
        EXPECT_EQ(command.size(), 13u);
        EXPECT_EQ(P().Received(), command);
        EXPECT_EQ(P().Modem().Get(kModemCom, "country").value_or(""), row.code);
        ASSERT_TRUE(P().AnswerOk(box.box));
        const std::optional<drv::TrayRecord> tip = P().WaitTrayRecord(records);
        ASSERT_TRUE(tip.has_value());
        EXPECT_EQ(tip->tip, row.name);
        ASSERT_TRUE(P().WaitIdle(10000));

        // Another country shown, and nothing sent for it.
        const int other = (i + 1) % count;
        ASSERT_TRUE(P().Choose(other, rows[static_cast<size_t>(other)].name));
        EXPECT_EQ(P().Received(), command);

        ASSERT_TRUE(P().Modem().Clear(kModemCom));
        const Query query = P().PressCurrent();
        ASSERT_TRUE(query.done);
        EXPECT_EQ(query.record.tip, row.name);
        EXPECT_EQ(query.icon, kMainIcon);
        EXPECT_EQ(P().Selection(), i);
        EXPECT_EQ(drv::ControlText(P().Main(), kCountryName), row.name);
        EXPECT_TRUE(P().FlagIs(row.bitmap));
        EXPECT_EQ(P().Received(), "ati9\r\n");
    }
}

}  // namespace
}  // namespace country
