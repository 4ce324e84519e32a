#include "builders/builder.h"

namespace varnoklis {

BuildCounts build_qzdnl17p(Session&, std::string_view, std::string_view, std::string_view) {
  return {};
}

}  // namespace varnoklis
