// This card's value checks of the common control records.
#pragma once

#include <boost/any.hpp>

namespace commondesc {

// "BpClkRef": 0, 1, 2, 3 or 128.
int checkBpClkRef(const boost::any& value);
// "GUID": exactly 36 letters, digits or '-'.
int checkGuid(const boost::any& value);

}  // namespace commondesc
