#pragma once

namespace talvero {

// The two hosts run the same engine; where they differ, this value decides.
enum class HostKind { Service, Desktop };

}  // namespace talvero
