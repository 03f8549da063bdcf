#pragma once

#include "engine/transport.hpp"

namespace talvero {

// True when a route was ever stored here, even if its connection has gone
// since: an expired route must fail loudly, not count as "no route".
inline bool HasRoute(const StoredRoute& route) {
  const StoredRoute none;
  return route.owner_before(none) || none.owner_before(route);
}

}  // namespace talvero
