// The figure: eight body parts, their rest pose, the per-frame animation step and the
// two-link reaching solver that drives the arms.
#include "figure.h"

#include "app.h"

#include <cmath>

Body body[8];
int points[3][2];

static const double TURN = 6.283185307;
static const double HALFTURN = 3.1415926535;

float sinrand(int seed) {
    float f = sin(seed * 1254.5123) * 69.65;
    return f - floor((double)f);
}

void bodysetup() {
    int W0 = window.texture[0]->w, H0 = window.texture[0]->h;
    int H1 = window.texture[1]->h, H2 = window.texture[2]->h;
    struct Row {
        int x, y;
        float a;
        int parent;
        Sint8 texture;
        float ainterp;
    };
    const Row rows[8] = {
        {SCREENWIDTH / 2 - W0 / 2, H0, 0, 0, 0, 0.1}, // lower torso, the root
        {0, H0 - 28, 0, 0, 0, 0.1},                   // middle torso
        {0, H0 - 28, 0, 1, 0, 0.1},                   // upper torso
        {25, H0 - 28, 3.0, 2, 0, 0.3},                // upper arm A
        {-25, H0 - 28, -3.0, 2, 0, 0.3},              // upper arm B
        {0, H2 - 28, 0, 3, 2, 0.3},                   // forearm A
        {0, H2 - 28, 0, 4, 2, 0.3},                   // forearm B
        {0, H1 - 28, 0, 2, 1, 0.1},                   // head
    };
    for (int i = 0; i < 8; i++) {
        body[i].pos[0] = rows[i].x;
        body[i].pos[1] = rows[i].y;
        body[i].a = rows[i].a;
        body[i].ta = body[i].a;
        body[i].parent = rows[i].parent;
        body[i].texture = rows[i].texture;
        body[i].ainterp = rows[i].ainterp;
    }
}

float sway(Sway &s) {
    s.v += s.vv;
    if (s.v > 1) {
        s.v = 0;
        s.c++;
        s.vv = sinrand(s.c) * 0.07 + 0.01;
    }
    float vl = sinrand(s.c) * (1 - s.v) + sinrand(s.c + 1) * s.v;
    vl = (vl * 3 * vl) - (2 * vl * vl * vl) - 0.5; // smooth-step, centred
    return fmod(vl * 0.5, TURN);
}

void calcpart(Body &b, const Body &p, bool freeze) {
    float s = sin((double)-p.ga);
    float c = cos((double)p.ga);
    if (!freeze) {
        // Move the rest angle by a turn when it lies more than half a turn away, so the
        // easing heads the shorter way.
        if (b.a - b.ta > HALFTURN)
            b.ta = b.ta + TURN;
        else if (b.ta - b.a > HALFTURN)
            b.ta = b.ta - TURN;
        b.a = b.a * 0.95f + b.ta * 0.05f;
    }
    float ang = fmod((double)(b.a + p.ga), TURN);
    if (b.ga - ang > HALFTURN)
        ang = ang + TURN;
    else if (ang - b.ga > HALFTURN)
        ang = ang - TURN;
    b.ga = fmod((double)(b.ga * (1 - b.ainterp) + b.ainterp * ang), TURN);

    int xy[2];
    xy[0] = p.gpos[0] + b.pos[0] * c - b.pos[1] * s;
    b.gpos[0] = b.gpos[0] * 0.5 + xy[0] * 0.5;
    xy[1] = p.gpos[1] + b.pos[0] * s + b.pos[1] * c;
    b.gpos[1] = b.gpos[1] * 0.5 + xy[1] * 0.5;
}

void armposes() {
    float A1 = atan2(points[1][0] - points[2][0], points[1][1] - points[2][1]); // shoulder to elbow
    float A2 = atan2(points[0][0] - points[1][0], points[0][1] - points[1][1]); // elbow to hand
    if (window.mb[0]) {
        body[3].a = A1 - body[body[3].parent].ga;
        body[5].a = A2 - body[body[5].parent].ga;
    }
    if (window.mb[1]) { // arm B mirrors the chain
        body[4].a = TURN - A1 - body[body[4].parent].ga;
        body[6].a = TURN - A2 - body[body[6].parent].ga;
    } else if (window.mb[2]) {
        body[4].a = A1 - body[body[4].parent].ga;
        body[6].a = A2 - body[body[6].parent].ga;
    }
}

void calcbody() {
    static Sway root = {0, 0, 0.05f};
    body[0].a = sway(root);
    body[0].ga = body[0].a;
    body[0].gpos[0] = body[0].pos[0];
    body[0].gpos[1] = body[0].pos[1];
    for (int i = 1; i < 8; i++) calcpart(body[i], body[body[i].parent], window.keys[0]);
    armposes();
}

void pull(int i, int j) {
    float x = (float)(points[i][0] - points[j][0]);
    float y = (float)(points[i][1] - points[j][1]);
    if (x == 0 && y == 0) return; // no direction to keep: leave the point where it is
    float invdist = 1 / sqrt((double)(x * x + y * y));
    x = x * invdist * 150.0f;
    y = y * invdist * 150.0f;
    points[i][0] = points[j][0] + (int)x;
    points[i][1] = (int)y + points[j][1];
}

void FABRIK(const int origin[2], const int dest[2]) {
    for (int iter = 0; iter < 5; iter++) {
        points[0][0] = dest[0];
        points[0][1] = dest[1];
        pull(1, 0);
        pull(2, 1);
        points[2][0] = origin[0];
        points[2][1] = origin[1];
        pull(1, 2);
        pull(0, 1);
    }
}
