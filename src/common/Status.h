// Status codes shared by the libraries that return integer statuses.
#pragma once

// Success status of every operation that returns an integer status. Failures
// are negative and grouped by class in decades.
inline constexpr int SUCCESS = 0;
