// The figure: rest pose, sway, easing and smoothing of one part, arm poses, the whole step and
// the two-link reaching solver.
#include "app.h"
#include "figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const double TURN = 6.283185307;
const double HALFTURN = 3.1415926535;

// Image sizes only: bodysetup and calcbody never touch the renderer texture.
struct FakeImages {
    Texture images[3];
    FakeImages(int w0, int h0, int h1, int h2) {
        images[0] = {nullptr, w0, h0};
        images[1] = {nullptr, 128, h1};
        images[2] = {nullptr, 128, h2};
        for (int i = 0; i < 3; i++) window.texture[i] = &images[i];
    }
    ~FakeImages() {
        for (Texture *&t : window.texture) t = nullptr;
    }
};

void clearfigure() {
    memset(body, 0, sizeof body);
    memset(points, 0, sizeof points);
    memset(&window, 0, sizeof window);
}

struct RestRow {
    int x, y;
    float a;
    int parent;
    int texture;
    float ainterp;
};

void expectrestpose(const RestRow rows[8]) {
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE("part " + std::to_string(i));
        EXPECT_EQ(body[i].pos[0], rows[i].x);
        EXPECT_EQ(body[i].pos[1], rows[i].y);
        EXPECT_EQ(body[i].a, rows[i].a);
        EXPECT_EQ(body[i].ta, body[i].a);
        EXPECT_EQ(body[i].parent, rows[i].parent);
        EXPECT_EQ(body[i].texture, rows[i].texture);
        EXPECT_EQ(body[i].ainterp, rows[i].ainterp);
        // The parts travel in from the world origin on the first frames.
        EXPECT_EQ(body[i].gpos[0], 0);
        EXPECT_EQ(body[i].gpos[1], 0);
        EXPECT_EQ(body[i].ga, 0.0f);
    }
}

TEST(RestPose, SquareImages) {
    clearfigure();
    FakeImages images(128, 128, 128, 128);
    bodysetup();
    const RestRow rows[8] = {
        {576, 128, 0, 0, 0, 0.1f},   {0, 100, 0, 0, 0, 0.1f},       {0, 100, 0, 1, 0, 0.1f},
        {25, 100, 3.0f, 2, 0, 0.3f}, {-25, 100, -3.0f, 2, 0, 0.3f}, {0, 100, 0, 3, 2, 0.3f},
        {0, 100, 0, 4, 2, 0.3f},     {0, 100, 0, 2, 1, 0.1f},
    };
    expectrestpose(rows);
}

TEST(RestPose, OddWidthAndOwnHeightsPerImage) {
    clearfigure();
    // Body 129 x 90, head 70 high, arm 160 high: the head and forearm offsets come from
    // their own images.
    FakeImages images(129, 90, 70, 160);
    bodysetup();
    const RestRow rows[8] = {
        {576, 90, 0, 0, 0, 0.1f},   {0, 62, 0, 0, 0, 0.1f},       {0, 62, 0, 1, 0, 0.1f},
        {25, 62, 3.0f, 2, 0, 0.3f}, {-25, 62, -3.0f, 2, 0, 0.3f}, {0, 132, 0, 3, 2, 0.3f},
        {0, 132, 0, 4, 2, 0.3f},    {0, 42, 0, 2, 1, 0.1f},
    };
    expectrestpose(rows);
}

TEST(Sway, FirstSegmentLastsTwentyCalls) {
    Sway s = {0, 0, 0.05f};
    float first = sway(s);
    EXPECT_NEAR(first, -0.247853f, 1e-5);
    int calls = 1;
    while (s.c == 0 && calls < 1000) {
        sway(s);
        calls++;
    }
    EXPECT_EQ(calls, 20);
    EXPECT_EQ(s.c, 1);
    EXPECT_EQ(s.v, 0.0f);
    EXPECT_EQ(s.vv, (float)(sinrand(1) * 0.07 + 0.01));
    EXPECT_GE(s.vv, 0.01f);
    EXPECT_LT(s.vv, 0.08f);
}

TEST(Sway, SegmentsAndAngleStayInRange) {
    Sway s = {0, 0, 0.05f};
    int lastc = 0, length = 0;
    for (int call = 0; call < 20000; call++) {
        float angle = sway(s);
        ASSERT_GE(angle, -0.25f);
        ASSERT_LE(angle, 0.25f);
        ASSERT_GE(s.v, 0.0f);
        ASSERT_LE(s.v, 1.0f);
        length++;
        if (s.c != lastc) {
            ASSERT_EQ(s.c, lastc + 1);
            // Increments in [0.01, 0.08): a segment takes 13 to 101 calls.
            if (lastc > 0) {
                EXPECT_GE(length, 13) << "segment " << lastc;
                EXPECT_LE(length, 101) << "segment " << lastc;
            }
            lastc = s.c;
            length = 0;
        }
    }
    EXPECT_GT(lastc, 100);
}

TEST(Sway, SameSignalEveryRun) {
    Sway a = {0, 0, 0.05f}, b = {0, 0, 0.05f};
    for (int i = 0; i < 500; i++) ASSERT_EQ(sway(a), sway(b));
}

Body part(float a, float ta, float ga, float ainterp = 0.1f) {
    Body b{};
    b.a = a;
    b.ta = ta;
    b.ga = ga;
    b.ainterp = ainterp;
    return b;
}

TEST(CalcPart, RestAngleMovesByATurnTowardTheShortWay) {
    struct Case {
        float a, ta;
        float newta;
    } cases[] = {
        {3.5f, -3.0f, (float)(-3.0 + TURN)},
        {-3.5f, 3.0f, (float)(3.0 - TURN)},
        // Within half a turn nothing moves.
        {1.0f, -1.0f, -1.0f},
        {-2.0f, 1.0f, 1.0f},
        // Single-precision easing: in double these come out one step off.
        {3.5f, 3.0f, 3.0f},
        {2.0f, 1.0f, 1.0f},
        // One turn per call, even when the rest angle is farther off.
        {10.0f, 0.0f, (float)TURN},
        {-10.0f, 0.0f, (float)-TURN},
    };
    Body parent{};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "a " << c.a << " ta " << c.ta);
        Body b = part(c.a, c.ta, 0);
        calcpart(b, parent, false);
        EXPECT_EQ(b.ta, c.newta);
        EXPECT_EQ(b.a, c.a * 0.95f + c.newta * 0.05f);
    }
}

TEST(CalcPart, FarRestAngleIsReachedOverSeveralCalls) {
    Body parent{};
    Body b = part(10.0f, 0.0f, 0);
    calcpart(b, parent, false);
    EXPECT_GT(b.a - b.ta, HALFTURN); // still more than half a turn after the first call
    calcpart(b, parent, false);
    EXPECT_LE(std::fabs(b.a - b.ta), HALFTURN);
}

TEST(CalcPart, FreezeKeepsLocalAnglesButPartStillFollows) {
    Body parent{};
    parent.gpos[0] = 200;
    parent.gpos[1] = 300;
    Body b = part(1.0f, 0.0f, 0);
    b.pos[1] = 100;
    calcpart(b, parent, true);
    EXPECT_EQ(b.a, 1.0f);
    EXPECT_EQ(b.ta, 0.0f);
    EXPECT_FLOAT_EQ(b.ga, 0.1f);
    EXPECT_EQ(b.gpos[0], 100);
    EXPECT_EQ(b.gpos[1], 200);
    // Unfrozen, the same part eases toward its rest angle.
    Body eased = part(1.0f, 0.0f, 0);
    calcpart(eased, parent, false);
    EXPECT_EQ(eased.a, 0.95f);
}

TEST(CalcPart, GlobalAngleApproachesTheShortWay) {
    struct Case {
        float ga, a, parentga;
        float expected;
    } cases[] = {
        {0.0f, 1.0f, 0.5f, 0.15f},
        {3.0f, -3.0f, 0.0f, (float)(3.0f * 0.9f + 0.1f * (-3.0 + TURN))},
        {-3.0f, 3.0f, 0.0f, (float)(-3.0f * 0.9f + 0.1f * (3.0 - TURN))},
        // A target past a full turn is reduced first, then unwrapped toward ga.
        {0.2f, 6.0f, 1.0f, (float)(0.2f * 0.9f + 0.1f * std::fmod(7.0, TURN))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "ga " << c.ga << " target " << c.a + c.parentga);
        Body parent{};
        parent.ga = c.parentga;
        Body b = part(c.a, c.a, c.ga);
        calcpart(b, parent, true);
        EXPECT_NEAR(b.ga, c.expected, 1e-5);
        EXPECT_LT(std::fabs(b.ga - c.ga), 0.4f) << "took the long way round";
    }
}

TEST(CalcPart, GlobalAngleStaysReduced) {
    // From 6.0 toward 0.5 the short way runs up through a full turn and wraps to the target.
    for (float sign : {1.0f, -1.0f}) {
        SCOPED_TRACE(testing::Message() << "sign " << sign);
        Body parent{};
        parent.ga = 0.5f * sign;
        Body b = part(0, 0, 6.0f * sign, 0.3f);
        for (int i = 0; i < 60; i++) {
            calcpart(b, parent, true);
            ASSERT_GT(b.ga, -TURN);
            ASSERT_LT(b.ga, TURN);
        }
        EXPECT_NEAR(b.ga, 0.5f * sign, 1e-3);
    }
}

TEST(CalcPart, PositionHalvesTheGapAndTruncates) {
    struct Case {
        int current, place, expected;
    } cases[] = {
        {99, 100, 99},   {101, 100, 100},  {0, 100, 50},
        {100, 100, 100}, {-99, -100, -99}, {-101, -100, -100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.current << " toward " << c.place);
        Body parent{};
        parent.gpos[0] = c.place;
        parent.gpos[1] = c.place;
        Body b = part(0, 0, 0);
        b.gpos[0] = c.current;
        b.gpos[1] = c.current;
        calcpart(b, parent, true);
        EXPECT_EQ(b.gpos[0], c.expected);
        EXPECT_EQ(b.gpos[1], c.expected);
    }
}

TEST(CalcPart, OffsetTurnsWithTheParent) {
    // A quarter turn clockwise carries an upward offset to the right of the parent.
    Body parent{};
    parent.gpos[0] = 500;
    parent.gpos[1] = 300;
    parent.ga = (float)(HALFTURN / 2);
    Body b = part(0, 0, parent.ga);
    b.pos[1] = 100;
    b.gpos[0] = 600;
    b.gpos[1] = 300;
    calcpart(b, parent, true);
    EXPECT_NEAR(b.gpos[0], 600, 1);
    EXPECT_NEAR(b.gpos[1], 300, 1);
}

struct ArmCase {
    const char *name;
    char left, right, middle;
    // Expected local angles of parts 3..6; NAN means left alone.
    double a[4];
};

TEST(ArmPoses, QuarterTurnChain) {
    const double q = HALFTURN / 2;
    const float ga2 = 0.0f, ga3 = 0.5f, ga4 = -0.25f;
    const ArmCase cases[] = {
        {"none", 0, 0, 0, {NAN, NAN, NAN, NAN}},
        {"left", 1, 0, 0, {q - ga2, NAN, q - ga3, NAN}},
        {"right", 0, 1, 0, {NAN, TURN - q - ga2, NAN, TURN - q - ga4}},
        {"middle", 0, 0, 1, {NAN, q - ga2, NAN, q - ga4}},
        {"left+right", 1, 1, 0, {q - ga2, TURN - q - ga2, q - ga3, TURN - q - ga4}},
        {"right+middle", 0, 1, 1, {NAN, TURN - q - ga2, NAN, TURN - q - ga4}},
        {"left+middle", 1, 0, 1, {q - ga2, q - ga2, q - ga3, q - ga4}},
    };
    for (const ArmCase &c : cases) {
        SCOPED_TRACE(c.name);
        clearfigure();
        FakeImages images(128, 128, 128, 128);
        bodysetup();
        const int chain[3][2] = {{300, 0}, {150, 0}, {0, 0}}; // hand, elbow, shoulder
        memcpy(points, chain, sizeof points);
        body[2].ga = ga2;
        body[3].ga = ga3;
        body[4].ga = ga4;
        const float sentinel = 11.0f;
        for (int i = 3; i <= 6; i++) body[i].a = sentinel;
        window.mb[0] = c.left;
        window.mb[1] = c.right;
        window.mb[2] = c.middle;
        armposes();
        for (int i = 0; i < 4; i++) {
            SCOPED_TRACE("part " + std::to_string(i + 3));
            if (std::isnan(c.a[i]))
                EXPECT_EQ(body[i + 3].a, sentinel);
            else
                EXPECT_NEAR(body[i + 3].a, c.a[i], 1e-6);
        }
    }
}

TEST(ArmPoses, ZeroChainPointsStraightUp) {
    clearfigure();
    FakeImages images(128, 128, 128, 128);
    bodysetup();
    body[2].ga = 0.2f;
    body[3].ga = -0.3f;
    window.mb[0] = 1;
    armposes();
    // atan2(0, 0) is 0: the arm points up in the world, whatever its parents' angles.
    EXPECT_EQ(body[3].a, -0.2f);
    EXPECT_EQ(body[5].a, 0.3f);
}

bool finitepart(const Body &b) {
    return std::isfinite(b.a) && std::isfinite(b.ga) && std::isfinite(b.ta);
}

TEST(CalcBody, FreezeKeepsEveryLocalAngle) {
    clearfigure();
    FakeImages images(128, 128, 128, 128);
    bodysetup();
    const float kicked[8] = {0, 0.7f, -0.4f, 2.0f, -5.0f, 0.9f, -0.6f, 0.3f};
    for (int i = 1; i < 8; i++) body[i].a = kicked[i];
    window.keys[0] = 1;
    for (int frame = 0; frame < 30; frame++) calcbody();
    for (int i = 1; i < 8; i++) EXPECT_EQ(body[i].a, kicked[i]) << "part " << i;
    // Everything else still follows: the parts have left the world origin.
    EXPECT_NE(body[7].gpos[1], 0);
    EXPECT_NE(body[3].ga, 0.0f);
}

TEST(CalcBody, SettlesIntoTheRestPose) {
    clearfigure();
    FakeImages images(128, 128, 128, 128);
    bodysetup();
    const float kicked[8] = {0, 0.7f, -0.4f, 2.0f, -5.0f, 0.9f, -0.6f, 0.3f};
    for (int i = 1; i < 8; i++) body[i].a = kicked[i];
    for (int frame = 0; frame < 200; frame++) calcbody();
    // The root sways by at most a quarter radian; the stack of parts sits above it.
    EXPECT_EQ(body[0].gpos[0], 576);
    EXPECT_EQ(body[0].gpos[1], 128);
    EXPECT_LE(std::fabs(body[0].a), 0.25f);
    EXPECT_GT(body[7].gpos[1], 300);
    EXPECT_NEAR(body[7].gpos[0], 576, 100);
    for (int i = 1; i < 8; i++) EXPECT_NEAR(body[i].a, body[i].ta, 1e-3) << "part " << i;
}

TEST(CalcBody, RandomInputNeverBreaksTheFigure) {
    clearfigure();
    FakeImages images(128, 128, 128, 128);
    bodysetup();
    srand(1234);
    for (int frame = 0; frame < 5000; frame++) {
        if (rand() % 50 == 0) window.keys[0] = !window.keys[0];
        for (char &held : window.mb) held = rand() % 3 == 0;
        if (rand() % 40 == 0)
            for (Body &b : body) b.a += 2 * sinrand(rand()) - 1;
        if (rand() % 4 == 0) {
            for (auto &p : points) {
                p[0] = rand() % 4000 - 2000;
                p[1] = rand() % 4000 - 2000;
            }
        }
        calcbody();
        int origin[2] = {body[3].gpos[0] + 64, body[3].gpos[1] - 128};
        int dest[2] = {rand() % 1280, rand() % 720};
        if (rand() % 10 == 0) {
            dest[0] = origin[0];
            dest[1] = origin[1];
        }
        FABRIK(origin, dest);
        for (int i = 0; i < 8; i++) {
            ASSERT_TRUE(finitepart(body[i])) << "frame " << frame << " part " << i;
            ASSERT_GT(body[i].ga, -TURN) << "frame " << frame << " part " << i;
            ASSERT_LT(body[i].ga, TURN) << "frame " << frame << " part " << i;
            ASSERT_LT(std::abs(body[i].gpos[0]), 5000) << "frame " << frame << " part " << i;
            ASSERT_LT(std::abs(body[i].gpos[1]), 5000) << "frame " << frame << " part " << i;
        }
    }
}

double linklength(int i, int j) {
    return std::hypot(points[i][0] - points[j][0], points[i][1] - points[j][1]);
}

TEST(Fabrik, FromTheZeroChain) {
    struct Case {
        int dest[2];
        int hand[2], elbow[2];
    } cases[] = {
        {{640, 800}, {640, 700}, {640, 550}}, // out of reach: stretched straight
        {{800, 500}, {800, 500}, {658, 548}}, // within reach
        {{700, 400}, {680, 376}, {583, 262}}, // near the shoulder: five passes fall short
    };
    const int origin[2] = {640, 400};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "target " << c.dest[0] << "," << c.dest[1]);
        memset(points, 0, sizeof points);
        FABRIK(origin, c.dest);
        EXPECT_EQ(points[0][0], c.hand[0]);
        EXPECT_EQ(points[0][1], c.hand[1]);
        EXPECT_EQ(points[1][0], c.elbow[0]);
        EXPECT_EQ(points[1][1], c.elbow[1]);
        EXPECT_EQ(points[2][0], 640);
        EXPECT_EQ(points[2][1], 400);
    }
}

TEST(Fabrik, ShoulderPinnedAndLinksKept) {
    struct Case {
        int origin[2], dest[2];
    } cases[] = {
        {{640, 400}, {0, 720}},         {{0, 0}, {1280, 720}},
        {{-300, 50}, {100000, -50000}}, {{640, 400}, {640, 400}}, // target on the shoulder
        {{640, 400}, {641, 400}},       {{2000000, 2000000}, {-2000000, -2000000}},
        {{123, 456}, {200, 500}},
    };
    memset(points, 0, sizeof points);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "origin " << c.origin[0] << "," << c.origin[1]
                                        << " target " << c.dest[0] << "," << c.dest[1]);
        // Each call starts from the previous solution, and again from its own.
        for (int repeat = 0; repeat < 3; repeat++) {
            FABRIK(c.origin, c.dest);
            EXPECT_EQ(points[2][0], c.origin[0]);
            EXPECT_EQ(points[2][1], c.origin[1]);
            // Truncating each coordinate can cost up to a pixel and a half.
            EXPECT_LE(linklength(1, 2), 150.0);
            EXPECT_GE(linklength(1, 2), 148.5);
            EXPECT_LE(linklength(0, 1), 150.0);
            EXPECT_GE(linklength(0, 1), 148.5);
        }
        // The target is the hand's current place.
        int dest[2] = {points[0][0], points[0][1]};
        FABRIK(c.origin, dest);
        EXPECT_EQ(points[2][0], c.origin[0]);
        EXPECT_EQ(points[2][1], c.origin[1]);
        EXPECT_NEAR(points[0][0], dest[0], 3);
        EXPECT_NEAR(points[0][1], dest[1], 3);
    }
}

TEST(Fabrik, CoincidingPointsStaySane) {
    memset(points, 0, sizeof points);
    points[0][0] = points[1][0] = 5;
    points[0][1] = points[1][1] = 7;
    points[2][0] = 40;
    points[2][1] = -3;
    pull(0, 1);
    pull(1, 0);
    EXPECT_EQ(points[0][0], 5);
    EXPECT_EQ(points[0][1], 7);
    EXPECT_EQ(points[1][0], 5);
    EXPECT_EQ(points[1][1], 7);
    EXPECT_EQ(points[2][0], 40);
    EXPECT_EQ(points[2][1], -3);

    const int places[][2] = {{0, 0}, {640, 400}, {-20, 5}};
    for (const auto &place : places) {
        SCOPED_TRACE(testing::Message() << "origin and target " << place[0] << "," << place[1]);
        memset(points, 0, sizeof points);
        FABRIK(place, place);
        EXPECT_EQ(points[2][0], place[0]);
        EXPECT_EQ(points[2][1], place[1]);
        EXPECT_LE(linklength(1, 2), 150.0);
        EXPECT_LE(linklength(0, 1), 150.0);
        EXPECT_LE(linklength(0, 2), 300.0);
    }
}

} // namespace
