#pragma once

// The one way into Beast, through the one way into Asio. Only the web UI's two
// session files and the metrics server include it: a Beast translation unit
// compiles slowly.
#include "platform/asio.hpp"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
