// The simulated controller's parameter memory on the bus: reads answered from
// the table (also for a register added later), refused writes, the delayed
// store into the image, the address change and the baud that a store puts
// in force.

#include "Clock.h"
#include "SimAxis.h"
#include "SimBus.h"

#include <gtest/gtest.h>

namespace {

class SimEepromTest : public ::testing::Test
{
protected:
    SimEepromTest()
    {
        bus.addUnit("01");
        select("01");
    }
    void select(const QByteArray& address) { bus.write("\x12" + address); }
    QByteArray exchange(const QByteArray& command)
    {
        bus.write(command);
        clock.sleep(SimEeprom::StoreDelay);
        return bus.read();
    }
    SimEeprom& eeprom() { return SimAxis(bus, "01").model().eeprom(); }

    FakeClock clock;
    SimBus bus{clock};
};

TEST_F(SimEepromTest, EveryTableRegisterReadsBackWhatWasWrittenAndAddedOnesToo)
{
    for (const SimRegister& r : SimEeprom::standardRegisters()) {
        const QByteArray value = r.text ? QByteArray("name").leftJustified(r.width) : QByteArray(r.width, 'A');
        EXPECT_EQ(exchange("[" + r.write + value + "]"), "[" + r.write + "!]");
        EXPECT_EQ(exchange("[" + eeprom().readName(r) + "]"), "[" + eeprom().readName(r) + "!" + value + "]");
    }
    eeprom().addRegister({"1Ct", 2, false, {}});
    EXPECT_EQ(exchange("[1Ct05]"), "[1Ct!]");
    EXPECT_EQ(exchange("[1ct]"), "[1ct!05]");
    EXPECT_EQ(exchange("[0LS" + QByteArray("a\tb").leftJustified(20) + "]"), "[0LS?0005]");
    EXPECT_EQ(exchange("[1VPXYZ1]"), "[1VP?0005]");
}

TEST_F(SimEepromTest, StoreAnswersAfterTheDelayAndKeepsTheImage)
{
    exchange("[1VP0096]");
    EXPECT_EQ(eeprom().stored("1VP"), QByteArray("0000"));
    bus.write("[0ff01]");
    clock.sleep(SimEeprom::StoreDelay / 2);
    EXPECT_TRUE(bus.read().isEmpty());
    clock.sleep(SimEeprom::StoreDelay);
    EXPECT_EQ(bus.read(), "[0ff!]");
    EXPECT_EQ(eeprom().stored("1VP"), QByteArray("0096"));
}

TEST_F(SimEepromTest, AddressAndBaudChange)
{
    EXPECT_EQ(exchange("[0CS1G]"), "[0CS?0005]");
    EXPECT_EQ(exchange("[0CS00]"), "[0CS?0005]");
    EXPECT_EQ(exchange("[0CS07]"), "[0CS!]");
    EXPECT_EQ(bus.unit("01"), nullptr);
    select("07");
    EXPECT_EQ(exchange("[0B3]"), "[0B3!]");
    EXPECT_EQ(bus.unit("07")->baud(), 9600);  // until the store
    EXPECT_EQ(exchange("[0ff00]"), "[0ff!]");
    EXPECT_EQ(bus.unit("07")->baud(), 38400);
    EXPECT_EQ(exchange("[0ST]"), "");  // the host still talks at 9600
}

}  // namespace
