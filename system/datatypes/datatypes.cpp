#include "system/datatypes/datatypes.h"

#include "system/debug/debugMisuse.h"

void setPoint3d(point3d_t* p, float x, float y, float z)
{
    if (debugMisuseIfNull(p, __func__, "the point"))
        return;
    p->x = x;
    p->y = y;
    p->z = z;
}

point3d_t sumPoint3d(point3d_t p1, point3d_t p2)
{
    return point3d_t{p1.x + p2.x, p1.y + p2.y, p1.z + p2.z};
}

point3d_t subtractPoint3d(point3d_t p1, point3d_t p2)
{
    return point3d_t{p1.x - p2.x, p1.y - p2.y, p1.z - p2.z};
}
