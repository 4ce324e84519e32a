#include "builders/builder.h"

namespace varnoklis {

BuildCounts build_idstamm(Session&, std::string_view, std::string_view, std::string_view) {
  return {};
}

}  // namespace varnoklis
