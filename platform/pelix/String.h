// Pelix::String: the object runtime's text type.
#pragma once

#include <string>

namespace Pelix {

using String = std::string;

}  // namespace Pelix
