#pragma once

// The one way into Asio: Boost 1.74's Asio needs <utility> before it under C++20.
#include <utility>

#include <boost/asio.hpp>
