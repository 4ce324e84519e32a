#include <array>

#include "builders/builder.h"

namespace varnoklis {

const Builder* find_builder(std::string_view keyword) {
  static constexpr std::array<Builder, 5> kBuilders = {{
      {"QZDNL17P", 85, false, build_qzdnl17p},
      {"QZDNL18P", 173, false, build_qzdnl18p},
      {"QZDNL31P", 48, false, build_qzdnl31p},
      {"QZDNL60P", 45, false, build_qzdnl60p},
      {"IDSTAMM", 0, true, build_idstamm},
  }};
  for (const Builder& builder : kBuilders) {
    if (builder.keyword == keyword) return &builder;
  }
  return nullptr;
}

}  // namespace varnoklis
