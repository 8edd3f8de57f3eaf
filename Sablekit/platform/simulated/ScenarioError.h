// The one failure of scenario loading: the message names the offending path.
#pragma once

#include <stdexcept>

namespace Sablekit {

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace Sablekit
