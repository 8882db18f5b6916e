#pragma once
// Virtual-key codes as the session log and the key rules count keys: letters and
// digits by their capital ASCII code, F1 = 112, Esc = 27, PageUp = 33 and so on.
#include <QString>
#include <QtGlobal>

namespace platform {

enum VirtualKey : int {
    VkBack = 8,
    VkTab = 9,
    VkReturn = 13,
    VkShift = 16,
    VkControl = 17,
    VkMenu = 18,
    VkEscape = 27,
    VkSpace = 32,
    VkPrior = 33,
    VkNext = 34,
    VkEnd = 35,
    VkHome = 36,
    VkLeft = 37,
    VkUp = 38,
    VkRight = 39,
    VkDown = 40,
    VkInsert = 45,
    VkDelete = 46,
    VkF1 = 112,
    VkF5 = 116,
};

// The code of a key from what a key event carries: the Qt key, the X11 key code
// (keys other than letters, digits and the named ones count by their place on the
// keyboard, so a Cyrillic letter has the code of its key, as the Latin letter
// would), the typed text and the native virtual key.
int virtualKeyCode(int qtKey, quint32 nativeScanCode, const QString &text, quint32 nativeVirtualKey);

} // namespace platform
