#include "overlay/KeyTranslation.h"

#include <SDL_keysym.h>

namespace CorvaneEngine {

int32_t KeyTranslation::table[KeyTranslation::kSymbolCount];
bool KeyTranslation::filled = false;

static_assert(SDLK_LAST == KeyTranslation::kSymbolCount, "one entry per SDL key symbol");

namespace {

constexpr int32_t kLeft = 1, kRight = 2, kKeypad = 3;

// A physical key: its X keycode (the evdev code + 8, as X servers number keys), its DOM `code`,
// the SDL symbol it has on a US layout, and its location.
struct PhysicalKey {
  int32_t scancode;
  const char* code;
  int32_t symbol;
  int32_t location;
};

// clang-format off
const PhysicalKey kPhysicalKeys[] = {
    {9, "Escape", SDLK_ESCAPE, 0}, {10, "Digit1", SDLK_1, 0}, {11, "Digit2", SDLK_2, 0},
    {12, "Digit3", SDLK_3, 0}, {13, "Digit4", SDLK_4, 0}, {14, "Digit5", SDLK_5, 0},
    {15, "Digit6", SDLK_6, 0}, {16, "Digit7", SDLK_7, 0}, {17, "Digit8", SDLK_8, 0},
    {18, "Digit9", SDLK_9, 0}, {19, "Digit0", SDLK_0, 0}, {20, "Minus", SDLK_MINUS, 0},
    {21, "Equal", SDLK_EQUALS, 0}, {22, "Backspace", SDLK_BACKSPACE, 0}, {23, "Tab", SDLK_TAB, 0},
    {24, "KeyQ", SDLK_q, 0}, {25, "KeyW", SDLK_w, 0}, {26, "KeyE", SDLK_e, 0},
    {27, "KeyR", SDLK_r, 0}, {28, "KeyT", SDLK_t, 0}, {29, "KeyY", SDLK_y, 0},
    {30, "KeyU", SDLK_u, 0}, {31, "KeyI", SDLK_i, 0}, {32, "KeyO", SDLK_o, 0},
    {33, "KeyP", SDLK_p, 0}, {34, "BracketLeft", SDLK_LEFTBRACKET, 0},
    {35, "BracketRight", SDLK_RIGHTBRACKET, 0}, {36, "Enter", SDLK_RETURN, 0},
    {37, "ControlLeft", SDLK_LCTRL, kLeft}, {38, "KeyA", SDLK_a, 0}, {39, "KeyS", SDLK_s, 0},
    {40, "KeyD", SDLK_d, 0}, {41, "KeyF", SDLK_f, 0}, {42, "KeyG", SDLK_g, 0},
    {43, "KeyH", SDLK_h, 0}, {44, "KeyJ", SDLK_j, 0}, {45, "KeyK", SDLK_k, 0},
    {46, "KeyL", SDLK_l, 0}, {47, "Semicolon", SDLK_SEMICOLON, 0}, {48, "Quote", SDLK_QUOTE, 0},
    {49, "Backquote", SDLK_BACKQUOTE, 0}, {50, "ShiftLeft", SDLK_LSHIFT, kLeft},
    {51, "Backslash", SDLK_BACKSLASH, 0}, {52, "KeyZ", SDLK_z, 0}, {53, "KeyX", SDLK_x, 0},
    {54, "KeyC", SDLK_c, 0}, {55, "KeyV", SDLK_v, 0}, {56, "KeyB", SDLK_b, 0},
    {57, "KeyN", SDLK_n, 0}, {58, "KeyM", SDLK_m, 0}, {59, "Comma", SDLK_COMMA, 0},
    {60, "Period", SDLK_PERIOD, 0}, {61, "Slash", SDLK_SLASH, 0},
    {62, "ShiftRight", SDLK_RSHIFT, kRight}, {63, "NumpadMultiply", SDLK_KP_MULTIPLY, kKeypad},
    {64, "AltLeft", SDLK_LALT, kLeft}, {65, "Space", SDLK_SPACE, 0},
    {66, "CapsLock", SDLK_CAPSLOCK, 0}, {67, "F1", SDLK_F1, 0}, {68, "F2", SDLK_F2, 0},
    {69, "F3", SDLK_F3, 0}, {70, "F4", SDLK_F4, 0}, {71, "F5", SDLK_F5, 0}, {72, "F6", SDLK_F6, 0},
    {73, "F7", SDLK_F7, 0}, {74, "F8", SDLK_F8, 0}, {75, "F9", SDLK_F9, 0},
    {76, "F10", SDLK_F10, 0}, {77, "NumLock", SDLK_NUMLOCK, 0},
    {78, "ScrollLock", SDLK_SCROLLOCK, 0}, {79, "Numpad7", SDLK_KP7, kKeypad},
    {80, "Numpad8", SDLK_KP8, kKeypad}, {81, "Numpad9", SDLK_KP9, kKeypad},
    {82, "NumpadSubtract", SDLK_KP_MINUS, kKeypad}, {83, "Numpad4", SDLK_KP4, kKeypad},
    {84, "Numpad5", SDLK_KP5, kKeypad}, {85, "Numpad6", SDLK_KP6, kKeypad},
    {86, "NumpadAdd", SDLK_KP_PLUS, kKeypad}, {87, "Numpad1", SDLK_KP1, kKeypad},
    {88, "Numpad2", SDLK_KP2, kKeypad}, {89, "Numpad3", SDLK_KP3, kKeypad},
    {90, "Numpad0", SDLK_KP0, kKeypad}, {91, "NumpadDecimal", SDLK_KP_PERIOD, kKeypad},
    {94, "IntlBackslash", SDLK_LESS, 0}, {95, "F11", SDLK_F11, 0}, {96, "F12", SDLK_F12, 0},
    {104, "NumpadEnter", SDLK_KP_ENTER, kKeypad}, {105, "ControlRight", SDLK_RCTRL, kRight},
    {106, "NumpadDivide", SDLK_KP_DIVIDE, kKeypad}, {107, "PrintScreen", SDLK_PRINT, 0},
    {108, "AltRight", SDLK_RALT, kRight}, {110, "Home", SDLK_HOME, 0},
    {111, "ArrowUp", SDLK_UP, 0}, {112, "PageUp", SDLK_PAGEUP, 0},
    {113, "ArrowLeft", SDLK_LEFT, 0}, {114, "ArrowRight", SDLK_RIGHT, 0},
    {115, "End", SDLK_END, 0}, {116, "ArrowDown", SDLK_DOWN, 0},
    {117, "PageDown", SDLK_PAGEDOWN, 0}, {118, "Insert", SDLK_INSERT, 0},
    {119, "Delete", SDLK_DELETE, 0}, {125, "NumpadEqual", SDLK_KP_EQUALS, kKeypad},
    {127, "Pause", SDLK_PAUSE, 0}, {133, "MetaLeft", SDLK_LSUPER, kLeft},
    {134, "MetaRight", SDLK_RSUPER, kRight}, {135, "ContextMenu", SDLK_MENU, 0}};
// clang-format on

const PhysicalKey* ByScancode(int32_t scancode) {
  for (const PhysicalKey& key : kPhysicalKeys) {
    if (key.scancode == scancode) return &key;
  }
  return nullptr;
}

const PhysicalKey* BySymbol(int32_t symbol) {
  // X reports the Windows keys as Super, some setups as Meta: both are the same physical keys.
  if (symbol == SDLK_LMETA) symbol = SDLK_LSUPER;
  if (symbol == SDLK_RMETA) symbol = SDLK_RSUPER;
  for (const PhysicalKey& key : kPhysicalKeys) {
    if (key.symbol == symbol) return &key;
  }
  return nullptr;
}

// The names of keys that type nothing, as the DOM gives them.
struct NamedKey {
  int32_t symbol;
  const char* name;
};
const NamedKey kNamedKeys[] = {{SDLK_BACKSPACE, "Backspace"},
                               {SDLK_TAB, "Tab"},
                               {SDLK_CLEAR, "Clear"},
                               {SDLK_RETURN, "Enter"},
                               {SDLK_KP_ENTER, "Enter"},
                               {SDLK_PAUSE, "Pause"},
                               {SDLK_BREAK, "Pause"},
                               {SDLK_ESCAPE, "Escape"},
                               {SDLK_DELETE, "Delete"},
                               {SDLK_UP, "ArrowUp"},
                               {SDLK_DOWN, "ArrowDown"},
                               {SDLK_RIGHT, "ArrowRight"},
                               {SDLK_LEFT, "ArrowLeft"},
                               {SDLK_INSERT, "Insert"},
                               {SDLK_HOME, "Home"},
                               {SDLK_END, "End"},
                               {SDLK_PAGEUP, "PageUp"},
                               {SDLK_PAGEDOWN, "PageDown"},
                               {SDLK_NUMLOCK, "NumLock"},
                               {SDLK_CAPSLOCK, "CapsLock"},
                               {SDLK_SCROLLOCK, "ScrollLock"},
                               {SDLK_LSHIFT, "Shift"},
                               {SDLK_RSHIFT, "Shift"},
                               {SDLK_LCTRL, "Control"},
                               {SDLK_RCTRL, "Control"},
                               {SDLK_LALT, "Alt"},
                               {SDLK_RALT, "Alt"},
                               {SDLK_LMETA, "Meta"},
                               {SDLK_RMETA, "Meta"},
                               {SDLK_LSUPER, "Meta"},
                               {SDLK_RSUPER, "Meta"},
                               {SDLK_MODE, "AltGraph"},
                               {SDLK_COMPOSE, "Compose"},
                               {SDLK_HELP, "Help"},
                               {SDLK_PRINT, "PrintScreen"},
                               {SDLK_SYSREQ, "PrintScreen"},
                               {SDLK_MENU, "ContextMenu"},
                               {SDLK_POWER, "Power"},
                               {SDLK_UNDO, "Undo"}};

const char* KeyName(int32_t symbol) {
  static const char* const kFunctionKeys[] = {"F1", "F2",  "F3",  "F4",  "F5",  "F6",  "F7", "F8",
                                              "F9", "F10", "F11", "F12", "F13", "F14", "F15"};
  if (symbol >= SDLK_F1 && symbol <= SDLK_F15) return kFunctionKeys[symbol - SDLK_F1];
  for (const NamedKey& named : kNamedKeys) {
    if (named.symbol == symbol) return named.name;
  }
  return nullptr;
}

// The keypad's digits and point with NumLock off: the editing and arrow keys they stand for.
struct KeypadNavigation {
  int32_t keyCode;
  const char* key;
};
const KeypadNavigation kKeypadNavigation[] = {
    {45, "Insert"},    {35, "End"},    {40, "ArrowDown"},  {34, "PageDown"},
    {37, "ArrowLeft"}, {12, "Clear"},  {39, "ArrowRight"}, {36, "Home"},
    {38, "ArrowUp"},   {33, "PageUp"}, {46, "Delete"}};  // SDLK_KP0 ... SDLK_KP9, SDLK_KP_PERIOD

uint32_t OwnModifierBit(int32_t symbol) {
  const char* name = KeyName(symbol);
  if (name == nullptr) return 0;
  const std::string key = name;
  return key == "Alt" ? 1 : key == "Control" ? 2 : key == "Meta" ? 4 : key == "Shift" ? 8 : 0;
}

// Control characters (X gives Ctrl+A as 1, Backspace as 8, Delete as 127) type nothing.
bool Printable(uint32_t c) {
  return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0);
}

}  // namespace

void KeyTranslation::Fill() {
  for (int32_t symbol = 0; symbol < kSymbolCount; ++symbol) table[symbol] = 0;
  for (int32_t letter = SDLK_a; letter <= SDLK_z; ++letter) table[letter] = letter - SDLK_a + 65;
  for (int32_t digit = SDLK_0; digit <= SDLK_9; ++digit) table[digit] = digit;
  for (int32_t digit = SDLK_KP0; digit <= SDLK_KP9; ++digit) table[digit] = digit - SDLK_KP0 + 96;
  for (int32_t key = SDLK_F1; key <= SDLK_F15; ++key) table[key] = key - SDLK_F1 + 112;
  const int32_t pairs[][2] = {{SDLK_BACKSPACE, 8},
                              {SDLK_TAB, 9},
                              {SDLK_CLEAR, 12},
                              {SDLK_RETURN, 13},
                              {SDLK_PAUSE, 19},
                              {SDLK_BREAK, 19},
                              {SDLK_ESCAPE, 27},
                              {SDLK_SPACE, 32},
                              {SDLK_DELETE, 46},
                              // The OEM keys of a US keyboard.
                              {SDLK_SEMICOLON, 186},
                              {SDLK_EQUALS, 187},
                              {SDLK_COMMA, 188},
                              {SDLK_MINUS, 189},
                              {SDLK_PERIOD, 190},
                              {SDLK_SLASH, 191},
                              {SDLK_BACKQUOTE, 192},
                              {SDLK_LEFTBRACKET, 219},
                              {SDLK_BACKSLASH, 220},
                              {SDLK_RIGHTBRACKET, 221},
                              {SDLK_QUOTE, 222},
                              {SDLK_LESS, 226},
                              {SDLK_KP_PERIOD, 110},
                              {SDLK_KP_DIVIDE, 111},
                              {SDLK_KP_MULTIPLY, 106},
                              {SDLK_KP_MINUS, 109},
                              {SDLK_KP_PLUS, 107},
                              {SDLK_KP_ENTER, 13},
                              {SDLK_KP_EQUALS, 187},
                              {SDLK_UP, 38},
                              {SDLK_DOWN, 40},
                              {SDLK_RIGHT, 39},
                              {SDLK_LEFT, 37},
                              {SDLK_INSERT, 45},
                              {SDLK_HOME, 36},
                              {SDLK_END, 35},
                              {SDLK_PAGEUP, 33},
                              {SDLK_PAGEDOWN, 34},
                              {SDLK_NUMLOCK, 144},
                              {SDLK_CAPSLOCK, 20},
                              {SDLK_SCROLLOCK, 145},
                              {SDLK_LSHIFT, 16},
                              {SDLK_RSHIFT, 16},
                              {SDLK_LCTRL, 17},
                              {SDLK_RCTRL, 17},
                              {SDLK_LALT, 18},
                              {SDLK_RALT, 18},
                              {SDLK_LMETA, 91},
                              {SDLK_RMETA, 92},
                              {SDLK_LSUPER, 91},
                              {SDLK_RSUPER, 92},
                              {SDLK_MODE, 225},
                              {SDLK_HELP, 47},
                              {SDLK_PRINT, 44},
                              {SDLK_SYSREQ, 44},
                              {SDLK_MENU, 93}};
  for (const auto& pair : pairs) table[pair[0]] = pair[1];
  filled = true;
}

int32_t KeyTranslation::Translate(int32_t symbol) {
  if (!filled) Fill();
  if (symbol < 0 || symbol >= kSymbolCount) return symbol;
  return table[symbol];
}

uint32_t KeyTranslation::Modifiers(uint32_t sdl) {
  uint32_t bits = 0;
  if (sdl & KMOD_ALT) bits |= 1;
  if (sdl & KMOD_CTRL) bits |= 2;
  if (sdl & KMOD_META) bits |= 4;
  if (sdl & KMOD_SHIFT) bits |= 8;
  return bits;
}

KeyDescription KeyTranslation::Describe(int32_t symbol, uint32_t sdlModifiers, uint32_t character,
                                        int32_t scancode) {
  const PhysicalKey* physical = ByScancode(scancode);
  if (physical == nullptr) physical = BySymbol(symbol);
  // SDL names no symbol for some keys (the keypad's 5 without NumLock): the physical key's.
  if ((symbol <= SDLK_UNKNOWN || symbol >= kSymbolCount) && physical != nullptr) {
    symbol = physical->symbol;
  }
  KeyDescription description;
  if (physical != nullptr) {
    description.code = physical->code;
    description.location = physical->location;
  }
  description.isKeypad = description.location == kKeypad;
  description.modifierBit = OwnModifierBit(symbol);

  // Keys the layout gives a character without a virtual-key code of its own (an umlaut, say)
  // report the US key at the same place, as browsers on X do.
  description.keyCode = Translate(symbol);
  if (description.keyCode == 0 && physical != nullptr) {
    description.keyCode = Translate(physical->symbol);
  }

  const bool printable = Printable(character);
  const bool keypadNumber = symbol >= SDLK_KP0 && symbol <= SDLK_KP_PERIOD;
  const char* name = KeyName(symbol);
  if (keypadNumber && !printable) {
    // NumLock off (or Shift inverting it): no character, so the key stands for its second use.
    const KeypadNavigation& navigation = kKeypadNavigation[symbol - SDLK_KP0];
    description.keyCode = navigation.keyCode;
    description.key = navigation.key;
  } else if (printable) {
    description.key = Utf8(character);
  } else if (name != nullptr) {
    description.key = name;
  } else if (symbol >= SDLK_SPACE && symbol < SDLK_DELETE) {
    // Ctrl+letter gives a control character; the key is still the letter.
    char c = static_cast<char>(symbol);
    if ((sdlModifiers & KMOD_SHIFT) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    description.key = std::string(1, c);
  } else {
    description.key = "Unidentified";
  }

  // With Ctrl or Alt held a key is a shortcut, not typing.
  if (printable && !(sdlModifiers & (KMOD_CTRL | KMOD_ALT))) {
    description.text = description.key;
  } else if (symbol == SDLK_RETURN || symbol == SDLK_KP_ENTER) {
    description.text = "\r";
  }
  return description;
}

std::string KeyTranslation::Utf8(uint32_t c) {
  std::string out;
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return out;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

}  // namespace CorvaneEngine
