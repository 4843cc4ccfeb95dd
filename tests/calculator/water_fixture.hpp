// Test fixture: the calculator constants, an error slot, and water states started and solved
// at a given temperature (K) and pressure (bar).
#pragma once

#include <gtest/gtest.h>

#include "calculator/water.hpp"

namespace aqsol {

class WaterFixture : public testing::Test {
 protected:
  ErrorSlot errors;
  const Constants k = setupConstants(errors);

  // A fresh state after waterStart at (T, P).
  WaterState startAt(double T, double P) {
    WaterState w;
    w.T = T;
    w.P = P;
    EXPECT_EQ(waterStart(k, w, errors), WaterStatus::kOk);
    return w;
  }
  // A fresh state solved at (T, P) as one pass of the calculator solves it.
  WaterState solvedAt(double T, double P) {
    WaterState w = startAt(T, P);
    EXPECT_EQ(solveWater(k, w, errors).status, WaterStatus::kOk);
    return w;
  }
};

}  // namespace aqsol
