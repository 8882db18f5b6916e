#pragma once
// The history's step back, for the value list whose reply came back empty. The
// history navigation implements it.
class HistorySteps {
public:
    virtual ~HistorySteps() = default;
    // One step back; `skip`: the step passes over the empty list's own request.
    virtual void stepBack(bool skip) = 0;
};
