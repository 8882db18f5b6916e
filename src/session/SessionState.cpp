#include "session/SessionState.h"

namespace {

// A dictionary number beyond this is not a dictionary the server could have named.
constexpr int MaxDictionaries = 1000;

} // namespace

int SessionState::storeReplyDictPos(const tCDictPos &pos, int selectedDict)
{
    const int no = pos.DictNo > MaxDictionaries ? -1 : pos.DictNo;
    if (no >= 0) {
        while (DictPosList.size() <= no)
            DictPosList.append(DictEntry{QByteArray(), tCDictPos(qint32(DictPosList.size()))});
        DictPosList[no].pos = pos;
    }
    if (no >= 0 && pos.WordNo >= 0)
        return no;
    if (!DictPosList.isEmpty() && selectedDict >= 0 && selectedDict < DictPosList.size())
        return selectedDict;
    return -1;
}

void SessionState::setCurrentDict(int candidate)
{
    if (candidate < 0 && !DictPosList.isEmpty())
        candidate = 0;
    if (candidate >= 0 && candidate < DictPosList.size() && DictPosList[candidate].pos.DictNo >= 0) {
        CurDictPos = candidate;
        CurDict = DictPosList[candidate].pos.DictNo;
    } else {
        CurDictPos = -1;
        CurDict = -1;
    }
}
