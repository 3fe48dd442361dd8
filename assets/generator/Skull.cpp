#include "Skull.h"

#include <cmath>
#include <cstdio>

namespace AssetGen {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Ellipsoid(Vec3 p, Vec3 centre, Vec3 radii) {
    const Vec3 q = p - centre;
    const double k0 = Length(Div(q, radii));
    const double k1 = Length(Div(q, Mul(radii, radii)));
    return k1 > 0 ? k0 * (k0 - 1) / k1 : -std::min(radii.x, std::min(radii.y, radii.z));
}

double Capsule(Vec3 p, Vec3 a, Vec3 b, double radius) {
    const Vec3 pa = p - a, ba = b - a;
    const double h = Clamp(Dot(pa, ba) / Dot(ba, ba), 0.0, 1.0);
    return Length(pa - ba * h) - radius;
}

// A box with rounded edges, turned by `angle` about the y axis.
double RoundBox(Vec3 p, Vec3 centre, Vec3 half, double angle, double rounding) {
    Vec3 q = p - centre;
    const double c = std::cos(angle), s = std::sin(angle);
    q = Vec3 {q.x * c - q.z * s, q.y, q.x * s + q.z * c};
    const Vec3 d = Abs(q) - half + Vec3 {rounding, rounding, rounding};
    const Vec3 outside {std::max(d.x, 0.0), std::max(d.y, 0.0), std::max(d.z, 0.0)};
    return Length(outside) + std::min(std::max(d.x, std::max(d.y, d.z)), 0.0) - rounding;
}

// Polynomial smooth minimum: unions that blend over a width of about k.
double SmoothUnion(double a, double b, double k) {
    const double h = Clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return Mix(b, a, h) - k * h * (1 - h);
}

double SmoothSubtract(double from, double cut, double k) {
    return -SmoothUnion(-from, cut, k);
}

// Both sides at once: shapes are modelled for x >= 0.
Vec3 Mirror(Vec3 p) {
    return {std::fabs(p.x), p.y, p.z};
}

// The dental arch: a point along it (phi 0 at the front middle, +-1 at the back) and its direction.
Vec3 ArchPoint(double phi, double y, double spreadX, double depthZ, double frontZ) {
    const double a = phi * 1.25;
    return {spreadX * std::sin(a), y, frontZ + depthZ * (1 - std::cos(a))};
}

double Teeth(Vec3 p, double rowY, double halfHeight, double frontZ) {
    double d = 1e9;
    // Seven teeth a side along the arch, narrower towards the back.
    constexpr int kPerSide = 7;
    for (int i = 0; i < kPerSide; ++i) {
        const double phi = (i + 0.5) / kPerSide;
        const Vec3 centre = ArchPoint(phi, rowY, 1.55, 1.9, frontZ);
        const Vec3 ahead = ArchPoint(phi + 0.01, rowY, 1.55, 1.9, frontZ);
        const double angle = std::atan2(ahead.z - centre.z, ahead.x - centre.x);
        const double width = i < 2 ? 0.19 : (i < 3 ? 0.2 : 0.25);
        const double depth = i < 3 ? 0.17 : 0.26;
        d = std::min(d, RoundBox(Mirror(p), centre, Vec3 {width, halfHeight - 0.02 * i, depth}, angle, 0.09));
    }
    return d;
}

// The lower jaw: a plate along the dental arch from the chin to the jaw's angles, then the
// ramus up to the joint under the cheek arch.
double Mandible(Vec3 q) {
    double body = 1e9;
    constexpr int kSegments = 12;
    constexpr double kReach = 1.3;  // how far round the arch the body runs
    for (int i = 0; i < kSegments; ++i) {
        const double t0 = static_cast<double>(i) / kSegments, t1 = static_cast<double>(i + 1) / kSegments;
        const Vec3 a = ArchPoint(t0 * kReach, -4.0 + 0.3 * t0, 1.75 + 0.45 * t0, 2.0, -2.7);
        const Vec3 b = ArchPoint(t1 * kReach, -4.0 + 0.3 * t1, 1.75 + 0.45 * t1, 2.0, -2.7);
        // A flat plate: a thin capsule stretched vertically.
        const double middle = Mix(a.y, b.y, 0.5);
        body = std::min(body, Capsule(Vec3 {q.x, (q.y - middle) * 0.45 + middle, q.z}, a, b, 0.3));
    }
    const double chin = Ellipsoid(q, Vec3 {0, -4.35, -2.75}, Vec3 {0.75, 0.4, 0.32});
    // The ramus: a plate, wide from front to back, narrow across.
    const Vec3 m = Mirror(q);
    const Vec3 rampA {2.2, -3.75, -0.55}, rampB {2.35, -1.55, 0.15};
    const double rampZ = Mix(rampA.z, rampB.z, Clamp((m.y - rampA.y) / (rampB.y - rampA.y), 0.0, 1.0));
    const double ramus = Capsule(Vec3 {m.x, m.y, (m.z - rampZ) * 0.5 + rampZ}, rampA, rampB, 0.28);
    const double condyle = Ellipsoid(m, Vec3 {2.35, -1.4, 0.3}, Vec3 {0.4, 0.28, 0.35});
    return SmoothUnion(SmoothUnion(SmoothUnion(body, chin, 0.3), ramus, 0.45), condyle, 0.2);
}

}  // namespace

double SkullDistance(Vec3 p) {
    const Vec3 m = Mirror(p);
    // Brain case and the back of the head.
    double d = Ellipsoid(p, Vec3 {0, 1.35, 0.45}, Vec3 {3.0, 3.1, 3.75});
    d = SmoothUnion(d, Ellipsoid(p, Vec3 {0, 0.5, 2.0}, Vec3 {2.65, 2.6, 2.5}), 0.8);
    // The base of the skull, where the jaw joints sit.
    d = SmoothUnion(d, Ellipsoid(p, Vec3 {0, -0.7, 0.6}, Vec3 {2.6, 1.6, 2.3}), 0.6);
    // The face: upper jaw and the bone around the nose.
    d = SmoothUnion(d, Ellipsoid(p, Vec3 {0, -0.95, -1.75}, Vec3 {2.25, 1.95, 1.75}), 0.7);
    d = SmoothUnion(d, Ellipsoid(p, Vec3 {0, -2.45, -1.95}, Vec3 {1.75, 0.85, 1.45}), 0.4);
    // Brow ridge and cheekbones with their arches back to the ear.
    d = SmoothUnion(d, Capsule(m, Vec3 {2.15, 0.85, -2.35}, Vec3 {0.35, 1.0, -3.05}, 0.42), 0.45);
    d = SmoothUnion(d, Ellipsoid(m, Vec3 {2.05, -0.75, -1.95}, Vec3 {0.85, 0.7, 1.0}), 0.4);
    d = SmoothUnion(d, Capsule(m, Vec3 {2.3, -0.85, -1.5}, Vec3 {2.8, -0.75, 0.7}, 0.3), 0.35);
    // Temples hollow above the cheek arches; cheeks hollow under the cheekbones.
    d = SmoothSubtract(d, Ellipsoid(m, Vec3 {3.35, 0.2, -0.55}, Vec3 {0.65, 1.15, 1.5}), 0.5);
    d = SmoothSubtract(d, Ellipsoid(m, Vec3 {1.95, -2.1, -2.45}, Vec3 {0.5, 0.55, 0.6}), 0.4);
    // Eye sockets: deep, slightly wider than tall, tilted outwards.
    d = SmoothSubtract(d, Ellipsoid(m, Vec3 {1.2, -0.05, -3.05}, Vec3 {0.92, 0.82, 1.25}), 0.22);
    // Nasal opening: an upside-down heart, narrow at the top.
    {
        const double depth = std::max(p.z + 2.4, -4.5 - p.z);
        const double t = Clamp((-0.45 - p.y) / 1.4, 0.0, 1.0);  // 0 at the top, 1 at the bottom
        const double halfWidth = 0.08 + 0.52 * std::sin(t * kPi * 0.62);
        const double sides = std::fabs(p.x) - halfWidth;
        const double ends = std::max(p.y - (-0.45), (-1.85) - p.y);
        const double nose = std::max(std::max(sides, ends), depth);
        d = SmoothSubtract(d, nose, 0.18);
    }
    // Teeth, then the lower jaw below them with its own teeth.
    if (p.y < -1.8 && p.y > -5.2 && p.z < 0.5) {
        d = SmoothUnion(d, Teeth(p, -3.05, 0.42, -3.12), 0.06);
        d = SmoothUnion(d, Teeth(p, -3.86, 0.38, -3.0), 0.06);
    }
    if (p.y < -1.0) d = SmoothUnion(d, Mandible(p), 0.1);
    return d;
}

namespace {

// Directions over the sphere (golden-angle spiral): deterministic and even.
std::vector<Vec3> SphereDirections(int count) {
    std::vector<Vec3> directions;
    const double golden = kPi * (3 - std::sqrt(5.0));
    for (int i = 0; i < count; ++i) {
        const double y = 1 - (i + 0.5) * 2.0 / count;
        const double r = std::sqrt(1 - y * y);
        directions.push_back({r * std::cos(golden * i), y, r * std::sin(golden * i)});
    }
    return directions;
}

// Fraction of the hemisphere around `normal` from which light reaches `p`, each ray a soft cone
// marched through the distance field.
double AmbientAccess(Vec3 p, Vec3 normal, const std::vector<Vec3>& directions) {
    double open = 0, weights = 0;
    for (const Vec3& direction : directions) {
        const double cosine = Dot(direction, normal);
        if (cosine <= 0.05) continue;
        double visibility = 1, t = 0.08;
        for (int step = 0; step < 14 && t < 4.0; ++step) {
            const double d = SkullDistance(p + normal * 0.02 + direction * t);
            visibility = std::min(visibility, Clamp(2.5 * d / t, 0.0, 1.0));
            if (visibility <= 0) break;
            t += std::max(d, 0.06);
        }
        open += visibility * cosine;
        weights += cosine;
    }
    return weights > 0 ? open / weights : 1;
}

}  // namespace

ColouredMesh BuildSkull(double gridStep) {
    ColouredMesh skull;
    skull.mesh = MeshSurface(SkullDistance, Vec3 {-3.6, -5.2, -4.1}, Vec3 {3.6, 4.9, 4.8}, gridStep);
    const std::vector<Vec3> directions = SphereDirections(48);
    for (const Vec3& position : skull.mesh.positions) {
        const Vec3 normal = SurfaceNormal(SkullDistance, position, gridStep * 0.25);
        skull.occlusion.push_back(AmbientAccess(position, normal, directions));
    }
    // The mesh scene starts from world = RotationX(pi/2 + 0.9) * RotationZ(pi) * RotationY(pi + 0.2):
    // undo all but the last 0.2 radians, so the skull starts upright, a little turned.
    const Mat3 start = RotationX(static_cast<float>(kPi / 2 + 0.9)) * RotationZ(static_cast<float>(kPi)) *
                       RotationY(static_cast<float>(kPi));
    const Mat3 undo = Transpose(start);
    for (Vec3& position : skull.mesh.positions)
        position = position * undo;
    return skull;
}

std::string WriteXFile(const ColouredMesh& skull) {
    std::string x = "xof 0303txt 0032\n\nMesh Skull {\n";
    char line[160];
    const auto& positions = skull.mesh.positions;
    const auto& faces = skull.mesh.faces;
    std::snprintf(line, sizeof line, " %zu;\n", positions.size());
    x += line;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        std::snprintf(line, sizeof line, " %.5f;%.5f;%.5f;%s\n", positions[i].x, positions[i].y, positions[i].z,
                      i + 1 == positions.size() ? ";" : ",");
        x += line;
    }
    std::snprintf(line, sizeof line, " %zu;\n", faces.size());
    x += line;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        std::snprintf(line, sizeof line, " 3;%u,%u,%u;%s\n", faces[i][0], faces[i][1], faces[i][2],
                      i + 1 == faces.size() ? ";" : ",");
        x += line;
    }
    // Ambient occlusion as a grey level, deepened a little so that sockets and gaps read at a distance.
    x += " MeshVertexColors {\n";
    std::snprintf(line, sizeof line, "  %zu;\n", positions.size());
    x += line;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const double grey = 0.12 + 0.88 * std::pow(Clamp(skull.occlusion[i], 0.0, 1.0), 1.4);
        std::snprintf(line, sizeof line, "  %zu;%.3f;%.3f;%.3f;1.000;;%s\n", i, grey, grey, grey,
                      i + 1 == positions.size() ? ";" : ",");
        x += line;
    }
    x += " }\n}\n";
    return x;
}

}  // namespace AssetGen
