// What the value panel's converter keeps between events.
#pragma once

#include <cstdint>

struct ValuePanelState {
    // 1 while a conversion handler runs, so that the events its own writes cause start no other.
    int32_t BusyFlag = 0;
};
extern ValuePanelState ValuePanel;
