// The player: a child in a cap who swings a big toy hammer, drawn in eight
// facings standing, walking and swinging.
#include <cmath>

#include "tools/gen/figures.h"
#include "tools/gen/game_art.h"

namespace gen {
namespace {

struct Outfit {
    Ramp skin, hair, cap, shirt, shorts, shoe, hammer, band, handle;
    Rgb eye, blush, mouth;
};

Outfit outfitFor(bool firstVariant) {
    const Rgb eye{40, 30, 56}, blush{246, 138, 150}, mouth{166, 58, 72};
    if (firstVariant)
        return {makeRamp({252, 208, 170}), makeRamp({124, 74, 44}),  makeRamp({222, 58, 62}),
                makeRamp({70, 146, 226}),  makeRamp({56, 64, 128}),  makeRamp({196, 84, 58}),
                makeRamp({236, 72, 76}),   makeRamp({252, 214, 84}), makeRamp({236, 196, 124}),
                eye, blush, mouth};
    return {makeRamp({244, 196, 156}), makeRamp({58, 46, 66}),   makeRamp({248, 192, 56}),
            makeRamp({236, 106, 90}),  makeRamp({52, 118, 112}), makeRamp({96, 96, 120}),
            makeRamp({76, 128, 232}),  makeRamp({244, 244, 236}), makeRamp({212, 168, 110}),
            eye, blush, mouth};
}

// Sheet row = facing; the angle is where the figure looks (0 towards the viewer).
constexpr double kFacingDegrees[8] = {0, 90, 180, 270, 45, 135, 315, 225};

// Where the hammer lands in the strike picture, inside the swing area of each facing.
constexpr V2 kStrikePoint[8] = {{12, 58}, {60, 84}, {84, 36}, {26, 12}, {16, 80}, {80, 80}, {16, 16}, {80, 16}};

struct PlayerPose {
    int facing = 0;
    double drop = 0;  // body sinks by this many screen pixels (breathing, steps)
    double footFwd[2] = {0, 0}, footUp[2] = {0, 0}, armFwd[2] = {0, 0};
    double lean = 0;
    int swing = -1;  // -1 none; 0 wind-up, 1 mid-swing, 2 strike
};

// A hammer: handle from the hands to the head, a drum-shaped head with bands at both ends.
void paintHammer(Layer& layer, const Outfit& o, V2 hands, V2 head) {
    V2 dir = normalized(head - hands), across{-dir.y, dir.x};
    layer.paint(capsuleShape(hands - dir * 2, head - dir * 4, 2.0), o.handle);
    layer.paint(boxShape(head, across, 11.5, 7.5, 3.5, 4), o.hammer);
    for (double end : {-9.0, 9.0}) layer.paint(boxShape(head + across * end, across, 2.6, 8, 1.5, 2), o.band);
}

void drawPlayer(Layer& layer, const Outfit& o, const PlayerPose& pose) {
    const Rig rig{{48, 60}, rad(kFacingDegrees[pose.facing])};
    const double sink = pose.drop / kTiltCos;  // world height that moves by whole screen pixels
    const double lean = pose.lean;
    std::vector<Piece> pieces;
    auto add = [&](double depth, Shape shape, const Ramp& ramp, Paint how = {}) {
        pieces.push_back({depth, [shape, &ramp, how](Layer& l) { l.paint(shape, ramp, how); }});
    };

    static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
    add(-1000, ellipseShape(rig.ground + V2{0, 1}, 14, 4.5), shadow, kGhostPaint);

    for (int s = 0; s < 2; ++s) {
        double sign = s == 0 ? -1 : 1;
        V3 foot = rig.at(sign * 4.3, 2.4 + pose.footUp[s], 1.2 + pose.footFwd[s]);
        V3 hip = rig.at(sign * 3.4, 7 - sink, pose.footFwd[s] * 0.4);
        add(19 + rig.depth(foot), rig.limb(hip, foot + V3{0, 1.5, 0}, 2.0), o.skin);
        add(20 + rig.depth(foot), rig.ball(foot, 3.3, 2.5, 4.6), o.shoe);
    }
    V3 hipsAt = rig.at(0, 8.2 - sink, 0);
    add(30 + rig.depth(hipsAt), rig.ball(hipsAt, 7.2, 3.8, 6.2), o.shorts);
    V3 chest = rig.at(0, 14.5 - sink, lean * 0.3);
    add(40 + rig.depth(chest), rig.ball(chest, 8.2, 7.4, 7.0), o.shirt);

    V3 headAt = rig.at(0, 30.5 - sink, lean);
    add(100 + rig.depth(headAt), rig.ball(headAt, 12.8, 12.0, 12.4), o.skin, Paint{.lift = 0.3});
    V3 hairAt = rig.at(0, 31.5 - sink, lean - 5.5);
    add(100 + rig.depth(hairAt), rig.ball(hairAt, 12.9, 12.2, 11.2), o.hair);
    V3 capAt = rig.at(0, 36.5 - sink, lean - 0.5);
    add(150, aboveRim(rig, rig.ball(capAt, 13.4, 8.5, 13.4), capAt, 13.4), o.cap);
    V3 brimAt = rig.at(0, 35.8 - sink, lean + 9.5);
    bool brimInFront = rig.depth(brimAt) > rig.depth(headAt);
    add(brimInFront ? 151 : 99, rig.ball(brimAt, 8.6, 1.5, 6.2), o.cap, Paint{.lift = -0.12});

    // Face marks sit on the head's surface; each shows only where that surface faces us.
    pieces.push_back({160, [&, headAt](Layer& l) {
        EyeLook look = pose.swing == 2 ? EyeLook::Shut : EyeLook::Open;
        for (double sign : {-1.0, 1.0}) {
            // Eyes sit a little inside the surface point so that side views keep them off the rim.
            V3 eye = rig.at(sign * 5.6, 27.8 - sink, lean + 11.0);
            double seen = rig.facingViewer(eye - headAt);
            if (seen > 0.15) drawEye(l, rig.screen(headAt + (eye - headAt) * 0.8), seen < 0.45, look, o.eye);
            V3 cheek = rig.at(sign * 6.6, 24.8 - sink, lean + 10.4);
            if (rig.facingViewer(cheek - headAt) > 0.3) {
                V2 p = rig.screen(cheek);
                l.put(int(std::floor(p.x)) - 1, int(std::floor(p.y)), o.blush);
                l.put(int(std::floor(p.x)), int(std::floor(p.y)), o.blush);
            }
        }
        V3 mouth = rig.at(0, 24 - sink, lean + 12.2);
        if (rig.facingViewer(mouth - headAt) > 0.3) {
            V2 p = rig.screen(mouth);
            int x = int(std::floor(p.x)), y = int(std::floor(p.y));
            l.put(x, y, o.mouth);
            if (pose.swing == 2) {
                l.put(x - 1, y, o.mouth);
                l.put(x - 1, y + 1, o.mouth);
                l.put(x, y + 1, o.mouth);
            }
        }
    }});

    if (pose.swing < 0) {
        for (int s = 0; s < 2; ++s) {
            double sign = s == 0 ? -1 : 1;
            V3 shoulder = rig.at(sign * 7, 18 - sink, 0.3), hand = rig.at(sign * 9.4, 11 - sink, 1.5 + pose.armFwd[s]);
            add(40.5 + rig.depth(hand), rig.limb(shoulder, hand, 2.6), o.shirt);
            add(40.6 + rig.depth(hand), rig.ball(hand, 2.8, 2.8, 2.8), o.skin);
        }
    } else {
        // The swing sweeps from the figure's left, across its front, to its right side.
        V2 body = rig.screen(rig.at(0, 16 - sink, 0));
        V2 target = kStrikePoint[pose.facing];
        double strike = std::atan2(target.y - body.y, target.x - body.x);
        const double angles[3] = {strike - rad(165), strike - rad(80), strike};
        const double radii[3] = {24, 28, length(target - body)};
        const double raise[3] = {9, 2, 0};
        int k = pose.swing;
        V2 dir = polar(angles[k], 1);
        V2 head = body + dir * radii[k] - V2{0, raise[k]};
        V2 hands = body + dir * 12 - V2{0, raise[k] * 0.5};
        bool front = head.y > body.y + 2;
        double armDepth = front ? 45 : 35, hammerDepth = front ? 170 : 10;
        for (double sign : {-1.0, 1.0}) {
            V2 shoulder = rig.screen(rig.at(sign * 7, 18 - sink, 0.3));
            add(armDepth, capsuleShape(shoulder, hands, 2.6), o.shirt);
        }
        add(armDepth + 0.1, circleShape(hands, 3.0), o.skin);
        if (k == 2)
            add(hammerDepth - 1, arcBand(body, strike - rad(95), strike + rad(6), radii[2], 0.6, 5.5, 1.3), kSwooshRamp,
                Paint{.shaded = false});
        if (k == 1)
            for (double off : {-5.0, 5.0})
                add(hammerDepth - 1, arcBand(body, angles[1] - rad(62), angles[1] - rad(18), radii[1] + off, 0.5, 0.7),
                    kSwooshRamp, kFlatPaint);
        pieces.push_back({hammerDepth, [&o, hands, head](Layer& l) { paintHammer(l, o, hands, head); }});
        if (k == 2) {
            V2 spark = head + dir * 9;
            spark = {std::clamp(spark.x, 7.0, 89.0), std::clamp(spark.y, 7.0, 89.0)};
            add(200, starShape(spark, 7.5, 2.6, 4, rad(45) * 0.5), kStarRamp);
        }
    }
    paintSorted(layer, std::move(pieces));
    layer.finish();
}

}  // namespace

Image playerSheet(bool firstVariant) {
    const Outfit o = outfitFor(firstVariant);
    Image sheet(864, 768, kMagenta);
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 9; ++col) {
            PlayerPose pose;
            pose.facing = row;
            if (col == 1) pose.drop = 1;
            if (col >= 2 && col <= 5) {
                // Contact, passing, contact, passing: the passing pictures lift one foot.
                int k = col - 2;
                double stride = 4.5;
                double fwd = k == 0 ? stride : k == 2 ? -stride : 0;
                pose.footFwd[0] = fwd;
                pose.footFwd[1] = -fwd;
                if (k == 1) pose.footUp[1] = 2.5;
                if (k == 3) pose.footUp[0] = 2.5;
                pose.drop = (k % 2) ? -1 : 0;
                pose.armFwd[0] = -fwd * 0.8;
                pose.armFwd[1] = fwd * 0.8;
            }
            if (col >= 6) {
                pose.swing = col - 6;
                pose.lean = pose.swing == 0 ? -1.5 : 1.5;
                pose.drop = pose.swing == 2 ? 1 : 0;
            }
            Layer cell(96, 96);
            drawPlayer(cell, o, pose);
            cell.stampOnto(sheet, col * 96, row * 96);
        }
    return sheet;
}

}  // namespace gen
