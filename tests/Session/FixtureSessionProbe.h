// Test access to the fixture session: a fixture record put in place without a run, as a window shows
// one while the session polls it.
#pragma once

#include "FixtureSession.h"

#include <memory>
#include <utility>

class TFixtureSessionProbe {
  public:
    static void SetFixture(TFixtureSession& Session, std::unique_ptr<TRDMFixture> Fixture) {
        Session.FixtureData = std::move(Fixture);
    }
};
