// The figure: eight body parts, their rest pose, the per-frame animation step and the
// two-link reaching solver that drives the arms.
#pragma once

#include <SDL.h>

struct Body {
    int pos[2];  // root: world position; others: offset from the parent in its rotated frame
    int gpos[2]; // world position of the sprite's top-left corner before rotation
    float a;     // local angle, relative to the parent's global angle
    float ga;    // global angle, as drawn
    float ainterp;
    float ta; // rest angle
    int parent;
    Sint8 texture;
};

extern Body body[8];
extern int points[3][2]; // reaching chain: hand, elbow, shoulder

// The root's smooth pseudo-random sway, one segment of noise at a time.
struct Sway {
    int c;    // current segment
    float v;  // phase inside the segment
    float vv; // phase step per frame
};

float sinrand(int seed);
void bodysetup();
void calcbody();
void FABRIK(const int origin[2], const int dest[2]);

// One frame of the sway: advances the state and returns the root's angle.
float sway(Sway &s);
// Eases part b toward its rest angle (unless frozen) and moves it after its parent p.
void calcpart(Body &b, const Body &p, bool freeze);
// Writes the arm angles from the reaching chain for the held mouse buttons.
void armposes();
// Moves point i of the chain to 150 pixels from point j, in the direction it lay in.
void pull(int i, int j);
