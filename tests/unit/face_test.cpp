// The face on the head: blink cycle, eye, eyebrow and mouth rectangles, and the loudness meter
// that opens the mouth.
#include "app.h"
#include "draw.h"
#include "figure.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const Texture headimage = {nullptr, 128, 128};

Body headat(int x, int y, float ga) {
    Body head{};
    head.gpos[0] = x;
    head.gpos[1] = y;
    head.ga = ga;
    head.texture = 1;
    return head;
}

void expectrect(const SDL_Rect &r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.w, w);
    EXPECT_EQ(r.h, h);
}

TEST(FaceRects, UprightHead) {
    SDL_Rect rects[5];
    facerects(headat(576, 356, 0), headimage, 1, 0, 0, 0, rects);
    expectrect(rects[0], 610, 392, 15, 15);
    expectrect(rects[1], 610, 383, 15, 5);
    expectrect(rects[2], 670, 392, 15, 15);
    expectrect(rects[3], 670, 383, 15, 5);
    expectrect(rects[4], 625, 434, 40, 0);
}

TEST(FaceRects, AnchoredAtTheHeadImagesBottomCentre) {
    // A 100 x 90 head: anchor (576 + 50, 356 - 90).
    const Texture small = {nullptr, 100, 90};
    SDL_Rect rects[5];
    facerects(headat(576, 356, 0), small, 1, 0, 0, 0, rects);
    expectrect(rects[0], 596, 354, 15, 15);
    expectrect(rects[2], 656, 354, 15, 15);
    expectrect(rects[4], 611, 396, 40, 0);
}

TEST(FaceRects, RaisedEyebrowsFollowTheirOwnFlag) {
    SDL_Rect rects[5];
    facerects(headat(576, 356, 0), headimage, 1, 1, 0, 0, rects);
    expectrect(rects[1], 610, 378, 15, 5);
    expectrect(rects[3], 670, 383, 15, 5);
    facerects(headat(576, 356, 0), headimage, 1, 0, 1, 0, rects);
    expectrect(rects[1], 610, 383, 15, 5);
    expectrect(rects[3], 670, 378, 15, 5);
}

TEST(FaceRects, FaceTurnsWithTheHead) {
    // A quarter turn clockwise: the eyes, 100 above the anchor, move 100 to its right.
    SDL_Rect rects[5];
    facerects(headat(576, 356, 1.5707964f), headimage, 1, 0, 0, 0, rects);
    EXPECT_NEAR(rects[0].x, 740, 1);
    EXPECT_NEAR(rects[0].y, 720 - (228 + 30), 1);
    EXPECT_NEAR(rects[2].x, 740, 1);
    EXPECT_NEAR(rects[2].y, 720 - (228 - 30), 1);
    EXPECT_EQ(rects[0].w, 15);
    EXPECT_EQ(rects[0].h, 15); // the rectangles stay upright
}

TEST(FaceRects, MouthFollowsTheLoudness) {
    struct Case {
        float m;
        int top, height;
    } cases[] = {
        {0, 434, 0},
        {1, 427, 15},               // a peak of 6000
        {2, 420, 30},               // twice that: grows both up and down
        {32768.0f / 6000, 395, 81}, // full scale
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mouth factor " << c.m);
        SDL_Rect rects[5];
        facerects(headat(576, 356, 0), headimage, 1, 0, 0, c.m, rects);
        expectrect(rects[4], 625, c.top, 40, c.height);
    }
}

TEST(Blink, SeventyNineFrameCycle) {
    float blinkfrq = 0;
    const int heights[8] = {2, 5, 8, 11, 13, 14, 14, 14};
    const int shifts[8] = {5, 4, 2, 1, 0, 0, 0, 0};
    for (int cycle = 0; cycle < 3; cycle++) {
        for (int frame = 1; frame <= 79; frame++) {
            SCOPED_TRACE(testing::Message() << "cycle " << cycle << " frame " << frame);
            float factor = blink(blinkfrq);
            SDL_Rect rects[5];
            facerects(headat(576, 356, 0), headimage, factor, 0, 0, 0, rects);
            if (frame <= 71) {
                EXPECT_EQ(factor, 1.0f);
                expectrect(rects[0], 610, 392, 15, 15);
            } else {
                EXPECT_EQ(rects[0].h, heights[frame - 72]);
                EXPECT_EQ(rects[0].y - 392, shifts[frame - 72]);
                EXPECT_EQ(rects[2].h, heights[frame - 72]);
                // The eyebrow moves down with the eye's top edge.
                EXPECT_EQ(rects[1].y, rects[0].y - 9);
            }
        }
    }
}

// A clip of little-endian 16-bit values, sized exactly so a stray read shows under the
// sanitizers.
std::vector<Uint8> clip16(const std::vector<int> &values) {
    std::vector<Uint8> bytes;
    for (int v : values) {
        bytes.push_back((Uint8)(v & 0xFF));
        bytes.push_back((Uint8)((v >> 8) & 0xFF));
    }
    return bytes;
}

TEST(MouthFactor, FiftyValuesEndingAtThePosition) {
    std::vector<int> values(200, 100);
    values[10] = 6000;
    values[60] = -12000;
    values[61] = 32767;
    std::vector<Uint8> clip = clip16(values);
    const int length = (int)clip.size();
    struct Case {
        int position;
        float expected;
    } cases[] = {
        {59, 1.0f},             // values 10..59
        {60, 2.0f},             // values 11..60: the first peak has left the window
        {61, 32767.0f / 6000},  // the newest value counts
        {109, 32767.0f / 6000}, // values 60..109
        {111, 100.0f / 6000},   // values 62..111
        {199, 100.0f / 6000},   // the last value of the clip
        {200, 0.0f},            // end reached: closed
        {100000, 0.0f},
    };
    for (const Case &c : cases) {
        EXPECT_FLOAT_EQ(mouthfactor(clip.data(), length, c.position), c.expected)
            << "position " << c.position;
    }
}

TEST(MouthFactor, FullScale) {
    std::vector<Uint8> clip = clip16(std::vector<int>(60, -32768));
    EXPECT_FLOAT_EQ(mouthfactor(clip.data(), (int)clip.size(), 55), 32768.0f / 6000);
}

TEST(MouthFactor, NothingBeforeTheClipIsRead) {
    std::vector<int> values(20, 0);
    values[0] = 3000;
    values[11] = 30000; // after the position: not in the window
    std::vector<Uint8> clip = clip16(values);
    const int length = (int)clip.size();
    EXPECT_FLOAT_EQ(mouthfactor(clip.data(), length, 10), 0.5f);
    EXPECT_FLOAT_EQ(mouthfactor(clip.data(), length, 0), 0.5f);
    std::vector<Uint8> silent = clip16(std::vector<int>(20, 0));
    EXPECT_EQ(mouthfactor(silent.data(), length, 3), 0.0f);
}

TEST(MouthFactor, IncompleteLastValueIsNotRead) {
    // 2k + 1 bytes: value k would need a byte past the end.
    const int k = 30;
    std::vector<int> values(k, 600);
    std::vector<Uint8> clip = clip16(values);
    clip.push_back(0xFF);
    EXPECT_FLOAT_EQ(mouthfactor(clip.data(), 2 * k + 1, k), 0.1f);
    EXPECT_FLOAT_EQ(mouthfactor(clip.data(), 2 * k + 1, k - 1), 0.1f);
    EXPECT_EQ(mouthfactor(clip.data(), 2 * k + 1, k + 1), 0.0f);
}

TEST(MouthFactor, ShortClipStaysClosedAtTheStartPosition) {
    // The position starts at 500; a clip of 500 bytes or fewer is already past its end.
    for (int length : {500, 499, 1, 0}) {
        std::vector<Uint8> clip(length, 0x7F);
        EXPECT_EQ(mouthfactor(clip.data(), length, 500), 0.0f) << length << " bytes";
        EXPECT_EQ(clipbyte(clip.data(), length, 500), 0) << length << " bytes";
    }
}

TEST(MouthFactor, OtherFormatsAreReadAsSixteenBitValues) {
    // 8-bit unsigned silence: every byte pair 0x80 0x80 reads as -32640.
    std::vector<Uint8> eightbit(100, 0x80);
    EXPECT_FLOAT_EQ(mouthfactor(eightbit.data(), 100, 49), 32640.0f / 6000);
    // Stereo: left and right samples are just consecutive values.
    std::vector<int> frames;
    for (int i = 0; i < 60; i++) {
        frames.push_back(1000);
        frames.push_back(-3000);
    }
    std::vector<Uint8> stereo = clip16(frames);
    EXPECT_FLOAT_EQ(mouthfactor(stereo.data(), (int)stereo.size(), 100), 0.5f);
}

} // namespace
