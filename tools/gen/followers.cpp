// Followers: three small round creatures (a bunny, a chick, a mushroom
// sprite) standing, walking, lying and tumbling through the air; and the
// flight effect, a bow wave and speed streaks ahead of a flying follower.
#include <cmath>

#include "tools/gen/figures.h"
#include "tools/gen/game_art.h"

namespace gen {
namespace {

enum class Species { Bunny, Chick, Shroom };

struct Critter {
    Species kind;
    Ramp body, accent, extra, feet;
    Face face;
};

Critter critterFor(int index, bool firstVariant) {
    const Face face{{40, 30, 56}, {246, 140, 160}, {150, 60, 80}};
    switch (index) {
        case 0:
            return firstVariant ? Critter{Species::Bunny, makeRamp({250, 236, 240}), makeRamp({248, 150, 178}),
                                          makeRamp({255, 250, 250}), makeRamp({238, 206, 216}), face}
                                : Critter{Species::Bunny, makeRamp({196, 170, 232}), makeRamp({250, 164, 204}),
                                          makeRamp({250, 246, 255}), makeRamp({174, 148, 212}), face};
        case 1:
            return firstVariant ? Critter{Species::Chick, makeRamp({255, 212, 72}), makeRamp({246, 136, 52}),
                                          makeRamp({255, 236, 150}), makeRamp({246, 136, 52}), face}
                                : Critter{Species::Chick, makeRamp({140, 206, 250}), makeRamp({250, 186, 60}),
                                          makeRamp({214, 240, 255}), makeRamp({250, 166, 60}), face};
        default:
            return firstVariant ? Critter{Species::Shroom, makeRamp({246, 232, 202}), makeRamp({224, 58, 62}),
                                          makeRamp({255, 252, 246}), makeRamp({150, 102, 70}), face}
                                : Critter{Species::Shroom, makeRamp({240, 226, 192}), makeRamp({156, 98, 58}),
                                          makeRamp({250, 238, 204}), makeRamp({110, 80, 60}), face};
    }
}

enum class Mode { Stand, Lying, Flying };

struct CritterPose {
    double facing = 0;
    double drop = 0;
    double footFwd[2] = {0, 0}, footUp[2] = {0, 0};
    Mode mode = Mode::Stand;
    double spin = 0;
};

void stampStar(Layer& layer, V2 at, bool big, Rgb rim, Rgb core) {
    int x = int(std::floor(at.x)), y = int(std::floor(at.y));
    auto ink = [&](char c) { return c == 'Y' ? core : rim; };
    if (big)
        stampPattern(layer, x - 2, y - 2, {"..y..", ".yYy.", "yYYYy", ".yYy.", "..y.."}, ink);
    else
        stampPattern(layer, x - 1, y - 1, {".y.", "yYy", ".y."}, ink);
}

void drawCritter(Layer& layer, const Critter& c, const CritterPose& pose) {
    Rig rig{{28, 44}, pose.facing, pose.spin, {28, 31}};
    const bool lying = pose.mode == Mode::Lying, flying = pose.mode == Mode::Flying;
    const double sink = pose.drop / kTiltCos;
    const V3 up{0, 1, 0};
    std::vector<Piece> pieces;
    auto add = [&](double depth, Shape shape, const Ramp& ramp, Paint how = {}) {
        pieces.push_back({depth, [shape, &ramp, how](Layer& l) { l.paint(shape, ramp, how); }});
    };
    static const Ramp shadow = flatRamp(kGrassShadow, kGrassShadow);
    if (!flying) add(-1000, ellipseShape(rig.ground + V2{0, 1}, lying ? 14 : 11, lying ? 5 : 3.8), shadow, kGhostPaint);

    // Body: the creature is mostly one round mass; lying flattens it.
    V3 bodyAt = lying ? rig.at(0, 5, 0) : rig.at(0, (c.kind == Species::Shroom ? 8 : 10.5) - sink, 0);
    double bodyW = lying ? 12.5 : c.kind == Species::Shroom ? 8.6 : 11;
    double bodyH = lying ? 5.5 : c.kind == Species::Shroom ? 8.2 : 10.2;
    double bodyD = lying ? 11.5 : c.kind == Species::Shroom ? 8.2 : 10;
    if (lying && c.kind == Species::Shroom) bodyAt = rig.at(0, 4.5, 2), bodyW = 9.5, bodyH = 4.8, bodyD = 8;
    add(40 + rig.depth(bodyAt), rig.ball(bodyAt, bodyW, bodyH, bodyD), c.body);

    for (int s = 0; s < 2; ++s) {
        double sign = s == 0 ? -1 : 1;
        V3 foot = lying ? rig.at(sign * 5.5, 5, 10) : rig.at(sign * 4.4, 2 + pose.footUp[s], 1.8 + pose.footFwd[s]);
        if (flying) foot = rig.at(sign * 5.5, 1 + (s ? 1.5 : 0), 2);
        add(lying ? 45 + rig.depth(foot) : 20 + rig.depth(foot), rig.ball(foot, 3.0, 2.2, 3.8), c.feet);
    }

    if (c.kind == Species::Bunny) {
        for (double sign : {-1.0, 1.0}) {
            V3 axis = lying ? normalized(rig.fwd() * -1 + rig.side() * sign * 0.35)
                            : normalized(up + rig.side() * sign * 0.3 + rig.fwd() * -0.15);
            V3 base = lying ? rig.at(sign * 4, 2.5, -8) : rig.at(sign * 4.4, 17.5 - sink, -1);
            V3 mid = base + axis * 7;
            V3 flatAxis = lying ? up : rig.fwd();
            V3 acrossAxis = lying ? normalized(V3{axis.z, 0, -axis.x}) : rig.side();
            add(30, rig.ellipsoid(mid, axis, 8, acrossAxis, 2.8, flatAxis, 2.2), c.body);
            if (lying || rig.facingViewer(rig.fwd()) > -0.2)
                add(30.5, rig.ellipsoid(mid + axis * 0.6 + flatAxis * 0.8, axis, 5.5, acrossAxis, 1.2, flatAxis, 1.0), c.accent,
                    kFlatPaint);
        }
        V3 tail = lying ? rig.at(0, 4, -11.5) : rig.at(0, 8 - sink, -10);
        add(40 + rig.depth(tail), rig.ball(tail, 3.2, 3.2, 3.2), c.extra);
    } else if (c.kind == Species::Chick) {
        V3 beak = lying ? rig.at(0, 7.5, 10) : rig.at(0, 9.8 - sink, 9.8);
        add(43 + rig.depth(beak), rig.ball(beak, 3.0, 2.2, 3.2), c.accent);
        for (double sign : {-1.0, 1.0}) {
            V3 wing = lying ? rig.at(sign * 12.5, 3, 0) : rig.at(sign * 10.2, 9.5 - sink, -0.5);
            V3 axis = lying ? rig.side() : normalized(up + rig.fwd() * -0.3 + rig.side() * sign * (flying ? 0.9 : 0));
            add(40 + rig.depth(wing), rig.ellipsoid(wing, axis, 4.6, normalized(V3{axis.z, 0, -axis.x}), 2.2, up, 3.6), c.body,
                Paint{.lift = -0.12});
        }
        V3 tuft = lying ? rig.at(0, 3, -12) : rig.at(0, 21 - sink, 0.5);
        V3 tuftAxis = lying ? rig.fwd() * -1 : normalized(up + rig.fwd() * 0.3);
        add(30, rig.ellipsoid(tuft, tuftAxis, 3.8, rig.side(), 1.6, normalized(V3{0, -tuftAxis.z, tuftAxis.y}), 1.6), c.body);
        V3 tuft2 = tuft + rig.side() * 1.8 + up * -0.5;
        add(30.1, rig.ellipsoid(tuft2, normalized(tuftAxis + rig.side() * 0.7), 3.0, rig.fwd(), 1.4, up, 1.4), c.body);
    } else {
        V3 capAt = lying ? rig.at(0, 5.5, -8.5) : rig.at(0, 16.5 - sink, 0);
        Shape dome = lying ? rig.ellipsoid(capAt, rig.side(), 13.5, normalized(up + rig.fwd() * -1.2), 7.5,
                                           normalized(rig.fwd() + up * 0.8), 5)
                           : aboveRim(rig, rig.ball(capAt, 14, 8, 14), capAt, 14);
        double capDepth = lying ? 35 : 60;
        add(capDepth, dome, c.accent);
        static const V3 spots[] = {{0, 0.55, 0.83},    {0.78, 0.45, 0.42},  {-0.78, 0.45, 0.42}, {0.42, 0.88, -0.2},
                                   {-0.45, 0.86, -0.2}, {0, 0.55, -0.83},    {0.85, 0.4, -0.35},  {-0.85, 0.4, -0.35}};
        if (!lying)
            for (V3 d : spots) {
                V3 n = rig.side() * d.x + up * d.y + rig.fwd() * d.z;
                if (rig.facingViewer(n) < 0.25) continue;
                V3 p = capAt + rig.side() * (d.x * 13) + up * (d.y * 7.5) + rig.fwd() * (d.z * 13);
                add(capDepth + 0.5, ellipseShape(rig.screen(p), 2.4, 1.7, pose.spin), c.extra, kFlatPaint);
            }
        if (!lying)
            for (double sign : {-1.0, 1.0}) {
                V3 arm = rig.at(sign * (flying ? 9.5 : 8.6), (flying ? 10 : 7) - sink, 0.8);
                add(40 + rig.depth(arm), rig.ball(arm, 2.3, 2.8, 2.3), c.body);
            }
    }

    // Face: eyes, cheeks and mouth on the front of the body where that side faces us.
    pieces.push_back({100, [&, bodyAt](Layer& l) {
        double eyeUp = c.kind == Species::Chick ? 2.5 : c.kind == Species::Shroom ? 0.4 : 0.5;
        EyeLook look = lying ? EyeLook::Knocked : flying ? EyeLook::Dizzy : EyeLook::Open;
        for (double sign : {-1.0, 1.0}) {
            V3 eye = lying ? bodyAt + rig.side() * (sign * 4.2) + up * 4.8 + rig.fwd() * 5
                           : bodyAt + rig.side() * (sign * 4.3) + up * eyeUp + rig.fwd() * (bodyD * 0.9);
            double seen = lying ? 1 : rig.facingViewer(eye - bodyAt);
            if (seen > 0.15) drawEye(l, rig.screen(bodyAt + (eye - bodyAt) * 0.85), seen < 0.3, look, c.face.eye);
            V3 cheek = bodyAt + rig.side() * (sign * bodyW * 0.62) + up * (eyeUp - 2.5) + rig.fwd() * (bodyD * 0.7);
            if (!lying && rig.facingViewer(cheek - bodyAt) > 0.3) {
                V2 p = rig.screen(cheek);
                l.put(int(std::floor(p.x)) - 1, int(std::floor(p.y)), c.face.blush);
                l.put(int(std::floor(p.x)), int(std::floor(p.y)), c.face.blush);
            }
        }
        if (c.kind != Species::Chick && !lying) {
            V3 mouth = bodyAt + up * (eyeUp - 2.8) + rig.fwd() * bodyD;
            if (rig.facingViewer(mouth - bodyAt) > 0.35) {
                V2 p = rig.screen(mouth);
                l.put(int(std::floor(p.x)), int(std::floor(p.y)), c.face.mouth);
                if (flying) l.put(int(std::floor(p.x)), int(std::floor(p.y)) + 1, c.face.mouth);
            }
        }
    }});

    if (lying || flying) {
        // Dizzy stars: circling above a knocked-out creature, scattered around a flying one.
        pieces.push_back({200, [&](Layer& l) {
            V2 top = lying ? rig.screen(rig.at(0, 15, 0)) : V2{28, 31};
            for (int i = 0; i < (lying ? 3 : 2); ++i) {
                double a = lying ? rad(i * 120 + 30) : pose.spin + rad(i * 150 - 40);
                V2 p = lying ? top + V2{std::cos(a) * 9, std::sin(a) * 3} : top + polar(a, 17);
                stampStar(l, p, !lying, {250, 196, 50}, {255, 250, 220});
            }
        }});
    }
    paintSorted(layer, std::move(pieces));
    layer.finish();
}

}  // namespace

Image followerSheet(int index, bool firstVariant) {
    const Critter critter = critterFor(index, firstVariant);
    Image sheet(504, 336, kMagenta);
    auto draw = [&](int col, int row, const CritterPose& pose) {
        Layer cell(56, 56);
        drawCritter(cell, critter, pose);
        cell.stampOnto(sheet, col * 56, row * 56);
    };
    const double facings[4] = {0, rad(90), rad(180), rad(270)};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 6; ++col) {
            CritterPose pose;
            pose.facing = facings[row];
            if (col == 1) pose.drop = 1;
            if (col >= 2) {
                int k = col - 2;
                double fwd = k == 0 ? 3 : k == 2 ? -3 : 0;
                pose.footFwd[0] = fwd;
                pose.footFwd[1] = -fwd;
                if (k == 1) pose.footUp[1] = 2.5;
                if (k == 3) pose.footUp[0] = 2.5;
                pose.drop = (k % 2) ? -1 : 0;
            }
            draw(col, row, pose);
        }
        CritterPose down;
        down.facing = facings[row];
        down.mode = Mode::Lying;
        draw(8, row, down);
    }
    for (int dir = 0; dir < 8; ++dir)
        for (int frame = 0; frame < 2; ++frame) {
            V2 v = kFlight[dir];
            CritterPose pose;
            pose.mode = Mode::Flying;
            pose.facing = std::atan2(-v.x, -v.y);
            pose.spin = std::atan2(v.y, v.x) + kPi / 2 + 0.35 + frame * 1.9;
            draw(dir, 4 + frame, pose);
        }
    return sheet;
}

Image effectSheet() {
    Image sheet(448, 112, kMagenta);
    // The follower's centre in each cell: the cell lies ahead of it along the flight.
    const V2 origin[8] = {{28, 0}, {0, 28}, {28, 56}, {56, 28}, {0, 0}, {0, 56}, {56, 0}, {56, 56}};
    for (int dir = 0; dir < 8; ++dir)
        for (int frame = 0; frame < 2; ++frame) {
            Layer cell(56, 56);
            V2 v = normalized(kFlight[dir]), across{-v.y, v.x};
            V2 o = origin[dir];
            double heading = std::atan2(v.y, v.x);
            double push = frame * 5;
            // Bow wave: a crescent bulging forward, open towards the follower, and a thin echo.
            cell.paint(crescent(o - v * 6, heading, rad(62), 22 + push, 3.6), kSwooshRamp, Paint{.shaded = false});
            cell.paint(arcBand(o - v * 6, heading - rad(36), heading + rad(36), 30 + push, 0.9, 0.9), kSwooshRamp, kFlatPaint);
            // Speed streaks beside the follower, pointing along the flight.
            for (double side : {-1.0, 1.0}) {
                V2 a = o + across * (side * 15) + v * (2 + push * 0.6), b = a + v * (frame ? 13 : 10);
                cell.paint(capsuleShape(a, b, 0.7, 1.2), kSwooshRamp, Paint{.shaded = false});
            }
            V2 tip = o + v * (42 + push);
            tip = {std::clamp(tip.x, 6.0, 50.0), std::clamp(tip.y, 6.0, 50.0)};
            cell.paint(starShape(tip, frame ? 6.5 : 4.5, 1.8, 4, frame ? 0 : rad(45)), kStarRamp);
            cell.finish();
            cell.stampOnto(sheet, dir * 56, frame * 56);
        }
    return sheet;
}

}  // namespace gen
