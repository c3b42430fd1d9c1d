#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "common/commonStatCtrl.h"

namespace {

// Registration and setters refuse indexes past the table or never registered;
// property 0/1 select value/status (temperature) and value/valid (voltage).
TEST(CommonStatCtrl, RegistrationBoundsAndSetters) {
  testsupport::LogCapture logs;
  commonStatCtrl sc("commonStatCtrl", 15, nullptr, 2, 1, 1, 1, nullptr);
  EXPECT_TRUE(sc.addTemperatureSensor(0, "common.1"));
  EXPECT_FALSE(sc.addTemperatureSensor(0, "again"));
  EXPECT_FALSE(sc.addTemperatureSensor(2, "out of range"));
  EXPECT_TRUE(sc.addVoltageSensor(0, "1V5_DCDC1", 1500));
  EXPECT_TRUE(sc.addHwError(0, 3, "MAX6602 TempSensor"));
  EXPECT_FALSE(sc.addHwError(1, 4, "too many"));
  EXPECT_TRUE(sc.addOperationalError(0, 256, "DPLL_CSM_LossOfLock"));

  EXPECT_TRUE(sc.setTemp(0, 0, 41));
  EXPECT_TRUE(sc.setTemp(1, 0, 1));
  EXPECT_FALSE(sc.setTemp(2, 0, 1));
  EXPECT_FALSE(sc.setTemp(0, 1, 1));  // index 1 exists but was never registered
  EXPECT_TRUE(sc.setVoltage(0, 0, 1498));
  EXPECT_TRUE(sc.setVoltage(1, 0, 1));
  EXPECT_FALSE(sc.setVoltage(1, 0, 2));
  EXPECT_FALSE(sc.setVoltage(0, 7, 1));
  EXPECT_FALSE(sc.setHwErrorActive(5, true));

  auto s = sc.snapshot();
  EXPECT_EQ(s.temps[0].value, 41);
  EXPECT_EQ(s.temps[0].status, 1);
  EXPECT_EQ(s.voltages[0].valueMv, 1498);
  EXPECT_TRUE(s.voltages[0].valid);
  std::ostringstream os;
  sc.dump(os);
  EXPECT_NE(os.str().find("1V5_DCDC1 = 1498 mV (nominal 1500 mV) valid"), std::string::npos);
}

}  // namespace
