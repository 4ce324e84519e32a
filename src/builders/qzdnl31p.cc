#include "builders/builder.h"

namespace varnoklis {

BuildCounts build_qzdnl31p(Session&, std::string_view, std::string_view, std::string_view) {
  return {};
}

}  // namespace varnoklis
