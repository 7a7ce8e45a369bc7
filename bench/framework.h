// One frame of the figure's own work, without a window: the animation step, the reach toward a
// moving pointer and the face. Shared by the benchmark and the allocation test so both measure
// the same thing.
#pragma once

#include <SDL.h>

#include <vector>

struct FrameWork {
    // The clip the mouth reads: a tone whose loudness swells and fades, s16 mono, 17 s.
    std::vector<Uint8> clip;
    // Where the pointer is on each frame, window pixels: a circle up and to the right of the
    // figure, so the arm keeps reaching and the solver never sees the same target twice running.
    int targets[64][2];
    int frame = 0;
    float blinkfrq = 0;
    SDL_Rect rects[5];
};

// Fills the window record with image records of the given size (no textures behind them unless
// the caller sets them), the synthetic clip and a held left button, then builds the rest pose.
void setupframework(FrameWork &work, int imagesize);
// calcbody, FABRIK toward this frame's pointer, blink, mouthfactor and facerects, then moves the
// pointer and the playback position on by one frame.
void stepframe(FrameWork &work);
