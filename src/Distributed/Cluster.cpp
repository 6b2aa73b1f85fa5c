#include "Distributed/Cluster.h"

namespace quill {
namespace {
Cluster* g_cluster = nullptr;
}  // namespace

std::pair<std::size_t, std::size_t> Slice(std::size_t count, int rank, int size) {
  const std::size_t n = static_cast<std::size_t>(size);
  const std::size_t r = static_cast<std::size_t>(rank);
  const std::size_t base = count / n;
  const std::size_t longer = count % n;
  const std::size_t first = r * base + (r < longer ? r : longer);
  return {first, base + (r < longer ? 1 : 0)};
}

Cluster* CurrentCluster() {
  return g_cluster;
}

void SetCurrentCluster(Cluster* cluster) {
  g_cluster = cluster;
}

}  // namespace quill
