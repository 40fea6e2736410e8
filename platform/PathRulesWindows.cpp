#include "platform/PathRules.h"

PathRules PathRules::Native() {
    return Windows();
}
