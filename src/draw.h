// Drawing one frame: the grey background, the eight rotated sprites and the face on the head.
#pragma once

#include <SDL.h>

struct Body;
struct Texture;

void draw();

// Advances the blink phase by one frame and returns the eye-opening factor (1 = open).
float blink(float &blinkfrq);
// Peak loudness of the 50 clip values ending at the playback position, 1 for a peak of 6000;
// 0 once the position has reached the end of the clip.
float mouthfactor(const Uint8 *audio, int length, int position);
// The face on the head part, in window pixels: eye 1, eyebrow 1, eye 2, eyebrow 2, mouth.
void facerects(const Body &head, const Texture &image, float blinkfactor, char brow1, char brow2,
               float mouth, SDL_Rect rects[5]);
