#include <cstring>
#include <string>

#include "Services/kernix.h"

namespace vx {

void getsoftwareinfo(std::string_view libName, char* info, size_t infoLen) {
  std::string text = "Veltrix ";
  text += trimmed(libName);
  text += " library, version 0.1.0, C++20, x86_64 Linux";
  strtochararr(text, info, infoLen);
}

}  // namespace vx
