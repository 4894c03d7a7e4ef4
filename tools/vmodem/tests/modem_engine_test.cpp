#include <gtest/gtest.h>

#include "modem_engine.h"

namespace {

const std::string kId1 = "QTRXFM330HWNF1*GEN";
const std::string kId2 = "QTRXPM330HWTF1*GEN";

std::string wire(const std::vector<Emission>& emissions)
{
    std::string bytes;
    for (const Emission& e : emissions)
        bytes += e.bytes;
    return bytes;
}

std::string info(const std::string& text) { return "\r\n" + text + "\r\n"; }
const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

class ModemEngineTest : public ::testing::Test {
protected:
    // The bytes the modem puts on the line for `input`.
    std::string talk(const std::string& input) { return wire(modem.feed(input)); }
    // Same, with echo off.
    std::string reply(const std::string& input)
    {
        modem.settings().echo = false;
        return talk(input);
    }

    ModemEngine modem;
};

TEST_F(ModemEngineTest, EchoesInputThenFramesInfoAndResult)
{
    std::vector<Emission> out = modem.feed("ati3\r\n");
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].kind, Emission::Kind::Echo);
    EXPECT_EQ(out[0].bytes, "ati3\r");
    EXPECT_EQ(out[1].kind, Emission::Kind::Reply);
    EXPECT_EQ(out[1].bytes, info(kId1) + kOk);
    EXPECT_EQ(out[2].bytes, "\n");
    EXPECT_EQ(talk("AT\r"), "AT\r" + kOk);
}

TEST_F(ModemEngineTest, FindsPrefixInAnyCaseAndIgnoresOtherLines)
{
    EXPECT_EQ(reply("\n\nxyzaAt\r"), kOk);
    EXPECT_EQ(reply("hello\r"), "");
    EXPECT_EQ(reply("\r"), "");
    EXPECT_EQ(reply("a"), "");
    EXPECT_EQ(reply("TI9\r"), info("UNITED STATES") + kOk);  // "a" from the last feed completes the prefix
    EXPECT_EQ(reply("ati9x\b\r"), info("UNITED STATES") + kOk);
}

TEST_F(ModemEngineTest, EchoSwitchTakesEffectAfterTheLine)
{
    EXPECT_EQ(talk("ate0\r"), "ate0\r" + kOk);
    EXPECT_EQ(talk("at\r\n"), kOk);
    EXPECT_EQ(talk("ate1\r"), kOk);
    EXPECT_EQ(talk("at\r"), "at\r" + kOk);
}

TEST_F(ModemEngineTest, ConcatenatedCommandsRunInOrderUntilOneFails)
{
    EXPECT_EQ(reply("ATI3 I9 V1\r"), info(kId1) + info("UNITED STATES") + kOk);
    EXPECT_EQ(reply("ATQ0X\r"), kError);
    EXPECT_EQ(talk("ATE1I3E5I9\r"), info(kId1) + kError);  // echo was off while it arrived
    EXPECT_TRUE(modem.settings().echo);
    EXPECT_EQ(reply("ATV0\r"), kError);
    EXPECT_EQ(reply("ATI7\r"), kError);
    EXPECT_EQ(reply("AT+FCLASS=1\r"), kError);
    EXPECT_EQ(reply("AT" + std::string(300, 'E') + "\r"), kError);
}

TEST_F(ModemEngineTest, QuietSuppressesResultsButNotInformation)
{
    EXPECT_EQ(reply("ATQ1\r"), "");
    EXPECT_EQ(reply("ATI3\r"), info(kId1));
    EXPECT_EQ(reply("ATQ0\r"), kOk);
}

TEST_F(ModemEngineTest, ResetRestoresEchoButKeepsCountry)
{
    reply("AT%T19,0,04\r");
    EXPECT_EQ(reply("ATZ\r"), kOk);
    EXPECT_TRUE(modem.settings().echo);
    EXPECT_EQ(talk("ATI9\r"), "ATI9\r" + info("GERMANY") + kOk);
}

TEST_F(ModemEngineTest, CountryCommandTakesKnownCodesOnly)
{
    EXPECT_EQ(reply("at%t19,0,3d\r"), kOk);
    EXPECT_EQ(reply("ati9\r"), info("FRANCE") + kOk);
    EXPECT_EQ(reply("AT%T19,0,a5\r"), kOk);
    EXPECT_EQ(reply("ATI9\r"), info("SWEDEN") + kOk);
    for (const char* bad : {"AT%T19,0,01\r", "AT%T19,0,3\r", "AT%T19,1,3D\r", "AT%T18,0,3D\r",
                            "AT%T19,0,G0\r", "AT%X\r"})
        EXPECT_EQ(reply(bad), kError) << bad;
    EXPECT_EQ(modem.settings().country, 0xA5);
    EXPECT_EQ(reply("AT%T19,0,fe I9\r"), info("TAIWAN") + kOk);
}

TEST_F(ModemEngineTest, CountryKnobsFakeOrRefuseTheChange)
{
    modem.settings().ignoreset = true;
    EXPECT_EQ(reply("AT%T19,0,3D\r"), kOk);
    EXPECT_EQ(reply("ATI9\r"), info("UNITED STATES") + kOk);
    modem.settings().ignoreset = false;
    modem.settings().seterror = true;
    EXPECT_EQ(reply("AT%T19,0,3D\r"), kError);
    EXPECT_EQ(modem.settings().country, 0xB5);
}

TEST_F(ModemEngineTest, IdentificationFollowsIdKnobs)
{
    modem.settings().id = 2;
    EXPECT_EQ(reply("ATI3\r"), info(kId2) + kOk);
    modem.settings().idtext = "qtrxfm330hwnf1*gen";
    EXPECT_EQ(reply("ATI3\r"), info("qtrxfm330hwnf1*gen") + kOk);
}

TEST_F(ModemEngineTest, DelayAppliesToRepliesOnly)
{
    modem.settings().delay_ms = 250;
    std::vector<Emission> out = modem.feed("at\r");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].delay_ms, 0u);
    EXPECT_EQ(out[1].delay_ms, 250u);
    EXPECT_EQ(out[1].bytes, kOk);
}

TEST_F(ModemEngineTest, SilentModemStillEchoes)
{
    modem.settings().silent = true;
    EXPECT_EQ(talk("ati3\r"), "ati3\r");
}

TEST_F(ModemEngineTest, ReplyShapingKnobs)
{
    modem.settings().junk = "\x01z";
    modem.settings().cronly = true;
    modem.settings().okword = "ok";
    EXPECT_EQ(reply("ATI9\r"), "\x01z\rUNITED STATES\r\rok\r");
    EXPECT_EQ(reply("ATX\r"), "\x01z\rERROR\r");
}

TEST_F(ModemEngineTest, SplitRepliesArePacedByGap)
{
    modem.settings().echo = false;
    modem.settings().split = 5;
    modem.settings().delay_ms = 100;
    modem.settings().gap_ms = 20;
    std::vector<Emission> out = modem.feed("ATI3\r");
    const std::string whole = info(kId1) + kOk;
    ASSERT_EQ(out.size(), (whole.size() + 4) / 5);
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_LE(out[i].bytes.size(), 5u);
        EXPECT_EQ(out[i].delay_ms, 100 + 20 * i);
        EXPECT_EQ(out[i].spacing_ms, i ? 20u : 0u);
    }
    EXPECT_EQ(wire(out), whole);
}

}  // namespace
