#include "presentation/BasicKeyboard.h"

namespace CorvaneEngine {
BasicKeyboard* BasicKeyboard::instance = nullptr;
}
