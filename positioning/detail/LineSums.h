#pragma once
// The sums that fit a straight line at an even pace to places in time
// (least squares of x and y against t), each place weighed: the ones added
// before may be weighed down at each addition. FixMotion fits its fixes'
// way, the Kalman filter a standing car's creep.

namespace Positioning::detail {

struct LineSums {
    // Sums of the weights, of t, t², x, y, t x, t y and x² + y².
    double w = 0.0, t = 0.0, tt = 0.0, x = 0.0, y = 0.0, tx = 0.0, ty = 0.0, ss = 0.0;

    // One more place of weight 1, those before weighed by `keep`.
    void add(double time, double px, double py, double keep = 1.0) {
        w = w * keep + 1.0;
        t = t * keep + time;
        tt = tt * keep + time * time;
        x = x * keep + px;
        y = y * keep + py;
        tx = tx * keep + time * px;
        ty = ty * keep + time * py;
        ss = ss * keep + (px * px + py * py);
    }
    // The weighed squares of time about its mean.
    double timeSpread() const { return tt - t * t / w; }
    // The weighed products of time and place about their means: the
    // line's slope times timeSpread().
    double alongX() const { return tx - t * x / w; }
    double alongY() const { return ty - t * y / w; }
};

} // namespace Positioning::detail
