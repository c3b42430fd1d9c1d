#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "common/CGetLogEngine.h"
#include "common/commonStatCtrl.h"

namespace {

struct CountingEngine : CGetLogEngine {
  int calls = 0;
  int cardPrepareLog() override { return ++calls; }
};

TEST(CommonStatCtrl, RegistrationBoundsAndSetters) {
  testsupport::LogCapture logs;
  auto* engine = new CountingEngine;  // owned by commonStatCtrl
  commonStatCtrl sc("commonStatCtrl", 15, nullptr, 2, 1, 1, 1, engine);
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
  EXPECT_TRUE(sc.setHwErrorActive(0, true));
  EXPECT_FALSE(sc.setHwErrorActive(5, true));
  EXPECT_TRUE(sc.setPower(2750));
  EXPECT_TRUE(sc.setVoltageMonitorStatus({true, false, "v1.2", 9}));

  auto s = sc.snapshot();
  EXPECT_EQ(s.temps[0].value, 41);
  EXPECT_EQ(s.temps[0].status, 1);
  EXPECT_EQ(s.voltages[0].valueMv, 1498);
  EXPECT_TRUE(s.voltages[0].valid);
  EXPECT_TRUE(s.hwErrors[0].active);
  EXPECT_EQ(s.hwErrors[0].code, 3u);
  EXPECT_EQ(s.power, 2750);
  EXPECT_EQ(s.voltageMonitor.version, "v1.2");

  std::ostringstream os;
  sc.dump(os);
  EXPECT_NE(os.str().find("[0] common.1 = 41 status=1\n"), std::string::npos);
  EXPECT_NE(os.str().find("[0] 3 MAX6602 TempSensor ACTIVE\n"), std::string::npos);
  EXPECT_NE(os.str().find("1V5_DCDC1 = 1498 mV (nominal 1500 mV) valid"), std::string::npos);

  EXPECT_EQ(sc.logEngine()->run(), 1);
  EXPECT_EQ(engine->calls, 1);
}

}  // namespace
