#pragma once

// The two header cells a group of the pages may name: `headercellorva`, a 150-point band of the
// wallpaper with the three waves over it in the colours the lock screen would use, redrawn by
// reload(); and `orvaheadercell`, a 100-point purple band with three white waves. Each keeps six
// properties; only the three wave views are ever set.

#include "platform/prefs/PSTableCell.h"
#include "wave/UUWaveView.h"

class WaveHeaderCell : public PSTableCell {
public:
    Ref<UIView> bg;
    Ref<UUWaveView> secondWaveView;
    Ref<UUWaveView> waveView;
    Ref<UUWaveView> waveView2;
    Ref<UUWaveView> waveView3;
    Ref<UIView> imgView;
};

class headercellorva : public WaveHeaderCell {
public:
    static Class objcClass();
};

class orvaheadercell : public WaveHeaderCell {
public:
    static Class objcClass();
};
