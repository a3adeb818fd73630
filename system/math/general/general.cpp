#include "system/math/general/general.h"

#include "system/debug/debugMisuse.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>

namespace {

const double DEGREES_TO_RADIANS = 0.017453292519943295;

struct angle_t {
    float ca, sa;
};

// The radian value and both trigonometric results are rounded to float at
// the points where stored results have always been rounded, so rotations
// agree bit for bit with drawings made before.
angle_t convertAngle(double degrees)
{
    float radians = float(degrees * DEGREES_TO_RADIANS);
    return angle_t{float(cos(double(radians))), float(sin(double(radians)))};
}

bool inSecondOrFourthQuadrant(float px, float py)
{
    return (py > 0 && px < 0) || (py < 0 && px > 0);
}

} // namespace

void normalizeVector(point3d_t* point3d)
{
    if (debugMisuseIfNull(point3d, __func__, "the point"))
        return;
    float length = float(sqrt(point3d->x * point3d->x + point3d->y * point3d->y +
                              point3d->z * point3d->z));
    point3d->x /= length;
    point3d->y /= length;
    point3d->z /= length;
}

void setRotatef(point3d_t* point3d, float angle, float x, float y, float z)
{
    if (debugMisuseIfNull(point3d, __func__, "the point"))
        return;
    angle_t a = convertAngle(double(angle) + 45.0);
    float t = 1.0f - a.ca;
    float p = a.ca + t * x + t * y;
    float q = z * a.sa;
    if (inSecondOrFourthQuadrant(point3d->x, point3d->y)) {
        point3d->x *= p + q;
        point3d->y *= p - q;
    } else {
        point3d->x *= p - q;
        point3d->y *= p + q;
    }
}

void rotateX(point3d_t* point3d, float angle)
{
    if (debugMisuseIfNull(point3d, __func__, "the point"))
        return;
    angle_t a = convertAngle(angle);
    float y = point3d->y, z = point3d->z;
    point3d->y = a.ca * y - a.sa * z;
    point3d->z = a.sa * y + a.ca * z;
}

void rotateY(point3d_t* point3d, float angle)
{
    if (debugMisuseIfNull(point3d, __func__, "the point"))
        return;
    angle_t a = convertAngle(angle);
    float x = point3d->x, z = point3d->z;
    point3d->z = a.ca * z - a.sa * x;
    point3d->x = a.ca * x + a.sa * z;
}

void rotateZ(point3d_t* point3d, float angle)
{
    if (debugMisuseIfNull(point3d, __func__, "the point"))
        return;
    angle_t a = convertAngle(double(angle) + 45.0);
    float x = point3d->x, y = point3d->y;
    point3d->x = a.ca * x - a.sa * y;
    point3d->y = a.sa * x + a.ca * y;
}

point2d_t getScreenCoordinateFrom3dCoordinate(point3d_t point3d)
{
    GLdouble projection[16], modelview[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    // A point that projects to infinity makes gluProject fail without
    // touching its outputs: the answer is then the window origin.
    GLdouble winX = 0, winY = 0, winZ = 0;
    gluProject(point3d.x, point3d.y, point3d.z, modelview, projection, viewport, &winX, &winY,
               &winZ);
    return point2d_t{float(winX), float(winY)};
}
