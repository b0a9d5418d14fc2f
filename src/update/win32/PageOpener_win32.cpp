#include "update/PageOpener.h"

namespace folioknife::update {

splitter::Text pageOpener() { return "explorer"; }

}  // namespace folioknife::update
