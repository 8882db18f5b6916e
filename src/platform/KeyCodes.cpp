#include "KeyCodes.h"

#include <QHash>
#include <Qt>
#include <utility>

namespace platform {

int virtualKeyCode(int k, quint32 nativeScanCode, const QString &text, quint32 nativeVirtualKey)
{
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return VkF1 + (k - Qt::Key_F1);
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return k;
    switch (k) {
    case Qt::Key_Escape: return VkEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VkReturn;
    case Qt::Key_Backspace: return VkBack;
    case Qt::Key_Tab: return VkTab;
    case Qt::Key_Space: return VkSpace;
    case Qt::Key_PageUp: return VkPrior;
    case Qt::Key_PageDown: return VkNext;
    case Qt::Key_End: return VkEnd;
    case Qt::Key_Home: return VkHome;
    case Qt::Key_Left: return VkLeft;
    case Qt::Key_Up: return VkUp;
    case Qt::Key_Right: return VkRight;
    case Qt::Key_Down: return VkDown;
    case Qt::Key_Insert: return VkInsert;
    case Qt::Key_Delete: return VkDelete;
    case Qt::Key_Shift: return VkShift;
    case Qt::Key_Control: return VkControl;
    case Qt::Key_Alt: return VkMenu;
    default: break;
    }
    // X11 key codes of a US layout.
    static const QHash<quint32, int> byPlace = [] {
        QHash<quint32, int> m;
        const char *rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
        const quint32 first[] = {24, 38, 52};
        for (int r = 0; r < 3; ++r)
            for (int i = 0; rows[r][i]; ++i)
                m.insert(first[r] + quint32(i), rows[r][i]);
        const std::pair<quint32, int> punct[] = {{59, 188}, {60, 190}, {61, 191}, {47, 186},
                                                 {48, 222}, {34, 219}, {35, 221}, {49, 192},
                                                 {20, 189}, {21, 187}, {51, 220}};
        for (const auto &p : punct)
            m.insert(p.first, p.second);
        return m;
    }();
    const int placed = byPlace.value(nativeScanCode, 0);
    if (placed)
        return placed;
    if (text.size() == 1 && text.at(0).unicode() < 128)
        return text.at(0).toUpper().unicode();
    return int(nativeVirtualKey & 0xFF);
}

} // namespace platform
