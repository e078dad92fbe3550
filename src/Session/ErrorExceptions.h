// The two exception kinds the application raises for cable and RDM failures. They carry only a
// message text.
#pragma once

#include <stdexcept>
#include <string>

class EFTD2XXError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ERDMError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
