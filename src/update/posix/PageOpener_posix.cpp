#include "update/PageOpener.h"

namespace folioknife::update {

splitter::Text pageOpener() { return "xdg-open"; }

}  // namespace folioknife::update
