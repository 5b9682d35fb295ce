#pragma once
// The car's speed and course taken from its successive fixes, for the
// receivers that do not send them: GGA alone (no speed, no course), or RMC
// with empty fields. Without a speed the car tracker's filter takes the car
// for standing and holds it until a fix lies 40 m away, guidance looks no
// way ahead and the sensors read 0 km/h; without a course the car has no
// way to be carried along.
//
// A speed or a course that a sentence gave within the last StaleSeconds of
// the fixes' own times is kept as the receiver sent it: only when none did
// for that long (or ever) is it taken from the fixes. The fixes' times, not
// the machine's clock: a receiver stamps each epoch when it measured it,
// and several epochs may arrive in one read of the port. The baselines are
// times, not counts of fixes: receivers send 1 to 20 fixes a second.
//
// A car that moves goes one way; a receiver's scatter goes nowhere, whether
// it wanders slowly (a street canyon's echoes) or is drawn afresh at each
// fix, and whatever HDOP the receiver claims. The fixes of the last
// MaxLegs seconds are averaged over each second (nodes a second apart). A
// standing car learns from them how far its receiver's scatter carries the
// fixes in one to MaxLegs seconds (the mean square of those ways). It sets
// off only when, over two seconds or over all the nodes, every leg goes
// the way of the whole, the whole is nearly as long as its legs laid end
// to end, and it is longer than several of those scatters (a receiver seen
// neither standing nor moving yet: over all MaxLegs seconds, or over two
// where 5 fixes a second or more lie on a line); it goes on while its way
// stays beyond the scatter, and stands again within a few seconds of
// stopping. A standing car has speed 0 and no course; a moving one its
// speed over two seconds and its course over the shortest way well beyond
// the scatter, or, where the fixes hardly scatter (their second
// differences), over the last tenths of a second.
//
// A receiver of 5 fixes a second and more sets off too where its fixes of
// the last second lie on a line; a car slow against a scatter drawn afresh
// at each fix, where the mean of its last fixes leaves the place it stood
// (known from all the fixes of its stand) beyond what its stand taught, or
// where its fixes since it stood lie, beyond their error, on a line from
// that place (a departure: its evidence grows with the cube of the fixes
// since, so that a stand of five seconds tells it too).
//
// It takes only the fixes the positioning system's gate let through, and
// leaves a stray one (far off where the car's motion puts it) out of the
// nodes, marking it a stray on the fix told; strays that last half a
// second are a move for good, after which the places kept before them are
// moved with the car. A receiver's claimed error is a first guess: what its
// fixes show (their distance from the straight line at an even pace that
// fits the window's nodes, their jitter) caps it.
//
// The NMEA device's, under its lock (GPS thread).

#include "positioning/Fix.h"
#include "positioning/NmeaParsers.h"

#include <array>
#include <cstddef>
#include <optional>

namespace Positioning {

class FixMotion {
  public:
    // A sentence of the epoch at `time` gave a speed, a course.
    void given(const NmeaTime& time, bool speed, bool course);
    // The fix about to be told, of the epoch at `time`: its speed and course
    // from the fixes where no sentence gave them lately. A fix without
    // fixes of two seconds before it (the first, the first after a gap such
    // as a tunnel), or of a car that stands, has speed 0 and no course, never
    // the ones taken before.
    void complete(Fix& fix, const NmeaTime& time);
    // The fix as the receiver said it, of the epoch at `time`: a speed or
    // course that no sentence gave lately is none (0, no course), not the
    // one taken from the fixes before it. What the gate judges.
    void said(Fix& fix, const NmeaTime& time) const;
    // The gate followed the fixes to a new place: the next fix completed is
    // where the car is, no stray, and the way of the places kept before it
    // goes on from there.
    void moved() { m_moveTold = true; }
    // The receiver's error in metres per unit of HDOP (the filter model's
    // "uere"). A way no longer than a fix's HDOP times it never tells a
    // motion, nor than what the fixes showed (errorBound); before a
    // receiver is seen standing its scatter is guessed from that error,
    // HDOP 1 at least.
    void setUere(float metres) { m_uere = metres; }

    static constexpr double StaleSeconds = 3.0;
    // The nodes: the newest is the mean of the fixes of the last half second
    // (the fix told among them), node j the mean of those j seconds old,
    // give or take half a second. At most MaxLegs seconds back, so that a
    // receiver fallen silent does not give the average of the whole gap.
    static constexpr int MaxLegs = 4;
    // A car starts moving when the square of its way over the nodes is at
    // least StraightShare of its legs' squares summed and multiplied by
    // their count (1 for a straight line at an even pace), and more than
    // StartScatters times the mean square way of the scatter over as long.
    static constexpr double StraightShare = 0.6;
    // Nearly straight at an even pace: what a receiver not yet seen
    // standing or moving needs to be judged by its claimed error alone.
    static constexpr double EvenShare = 0.9;
    static constexpr double StartScatters = 12.0;
    // It goes on while its way is more than StayScatters times that, and
    // stops once it has not been for StopSeconds.
    static constexpr double StayScatters = 3.0;
    static constexpr double StopSeconds = 0.5;
    // The scatter is learned while the car stands, over about LearnSeconds;
    // the guess it starts from weighs as much as PriorSeconds of lessons,
    // or ClaimSeconds against lessons that show less where the claimed
    // error makes it larger than HDOP 1's: receivers in streets claim HDOP
    // 5 to 20 for minutes with fixes as good as ever.
    static constexpr double LearnSeconds = 90.0;
    static constexpr double PriorSeconds = 10.0;
    static constexpr double ClaimSeconds = 1.0;
    // A moving car's course is taken over the shortest way back to a fix
    // of the last TurnSeconds that is more than JitterScatters times the
    // fixes' jitter (the mean square of their second differences, a
    // scatter that a smooth drive does not make, bends included): from a
    // receiver of 10 fixes a second without scatter, a tenth or two of a
    // second, where the nodes' way lags half a second in a bend.
    static constexpr double TurnSeconds = 1.0;
    static constexpr double TurnStepSeconds = 0.25;
    static constexpr double JitterScatters = 50.0;
    // The way along the nodes of a bend counts for the speed up to this
    // share of the way straight across.
    static constexpr double BendShare = 1.3;
    // Slower than this (m/s) the car stands.
    static constexpr float CourseMinSpeed = 1.0f;
    // A course is taken over a way whose square is more than CourseScatters
    // times the learned scatter's over as long: over a shorter one the
    // scatter turns it by more than a right angle now and then.
    static constexpr double CourseScatters = 8.0;
    // The fixes two seconds old or older.
    static constexpr double TwoSeconds = 1.95;
    // The fixes kept: MaxLegs and a half seconds of a receiver sending up to
    // 25 a second; one of a faster receiver is kept only MinSpacingSeconds
    // after the last kept.
    static constexpr std::size_t Kept = 128;
    static constexpr double MinSpacingSeconds = 0.04;
    // A fix farther from where the car's motion puts it than StrayErrors of
    // the fixes' errors, and what braking or a turn (StrayAcceleration,
    // m/s²), a course told late in a bend (StrayTurn of the way told) or a
    // motion not yet seen (UnseenSpeed, m/s) moves it since the last fix,
    // is a stray: it is kept out of the nodes and told with the motion
    // before it, marked so (Fix::stray). Strays in a row, each where the
    // one before it puts the car, that last MoveSeconds (the times' rounding
    // aside: a second fix at 1 or 2 Hz, the sixth at 10 Hz) are a move for
    // good: they are taken in, and where the first lay beyond MoveReaches of
    // its reach, the places kept before them moved as far, so that the way
    // of the last seconds is the car's, not the move.
    static constexpr double StrayErrors = 4.0;
    static constexpr double StrayAcceleration = 10.0;
    static constexpr double StrayTurn = 0.5;
    static constexpr double UnseenSpeed = 5.0;
    static constexpr double MoveSeconds = 0.45;
    static constexpr double MoveReaches = 1.25;
    // Where the fixes' jitter shows them closer than they claim, a fix's
    // error within JitterSeconds of the last taken in is the root of
    // JitterPerError of its mean square (the second differences of a
    // scatter drawn afresh hold six of its squares), LeastStrayError at
    // least: a burst 20 m aside at 10 Hz from a receiver that claims 4.5 m
    // but hardly scatters lay within four such errors of the car's motion
    // three tenths of a second on. Over a second the change of the car's
    // motion (a U-turn, a corner) makes more than the jitter learned on a
    // straight, and the claimed error holds.
    static constexpr double JitterPerError = 6.0;
    static constexpr double LeastStrayError = 1.0;
    static constexpr double JitterSeconds = 0.5;
    // What the fixes show of their error: ShownErrors of the root mean
    // square of their distances from the straight line at an even pace
    // that fits them best over the whole window, HDOP 1's error at least.
    // A receiver that claims more is judged by this once it is shown,
    // whether the car stands or drives (ShownSeconds of such lessons).
    static constexpr double ShownErrors = 3.0;
    static constexpr double ShownSeconds = 10.0;
    // A receiver seen neither standing nor moving sets off over two
    // seconds where at least LineFixes fixes of them lie on a straight
    // line at an even pace: the way over them is more than LineErrors
    // times their root mean square distance from it.
    static constexpr int LineFixes = 8;
    static constexpr double LineErrors = 10.0;
    // Any car not yet moving sets off where at least OneLineFixes fixes of
    // the last second (5 a second and more) lie on such a line, as far as
    // such a receiver's nodes would have to go over two seconds; a moving
    // car's speed is that line's where it is more until the nodes of two
    // seconds hold none of the stand: at 10 and 20 fixes a second they held
    // the stand before the set-off, and the car set off later than at one
    // fix a second, and slower.
    static constexpr int OneLineFixes = 5;
    // Their way more than OneLineErrors times their root mean square
    // distance from the line: a wandering scatter (8 m, 30 s) went 10 m in
    // a second within a tenth of that, once in a stand of ten minutes.
    static constexpr double OneLineErrors = 20.0;
    // Where the car stood: the mean of the window's fixes at its first
    // lesson (or of the last two seconds' nodes where a moving car is told
    // stopped), then of its fixes while it stands, each weighed down by e in
    // StandSeconds. The mean square way of the fixes of the last two
    // seconds (their mean) from there is learned as the scatter is, from
    // the claimed error's guess, and from the stand's first lesson on a car
    // whose fixes of the last two seconds lie more than StartScatters of it
    // from where it stood, going away, sets off: a slow car goes too little
    // in the nodes' few seconds against a scatter that a short stand has
    // not yet learned, or one drawn afresh at each fix (15 km/h at one fix
    // a second was never seen driving after a stand of 2 to 15 s, nor after
    // a red light), but it leaves the place its fixes told within seconds.
    static constexpr double StandSeconds = 30.0;
    // A car leaving where it stood has the velocity of the line all its
    // nodes lie on, averaged over the last LeaveSeconds it has been leaving.
    static constexpr double LeaveSeconds = 8.0;
    // Its first windows hold the stand and read it slower: each one of the
    // first FreshLeaveSeconds after it set off is taken alone.
    static constexpr double FreshLeaveSeconds = 1.5;

    // Where a fix's error (the root of JitterPerError of the jitter) is so
    // wide that the speed over the nodes' two seconds errs by more than 5
    // m/s (its mean square over a fix a node averages beyond WideSquares,
    // m²: 17.7 m drawn afresh at each fix at 1 Hz erred by 18 m/s), the
    // speed is the line's over the fixes of a longer baseline: over T
    // seconds of n fixes of error s a speed errs by about s*sqrt(2/n)/T.
    // The longest of WideBaselines that shows a way beyond the line's
    // error (WideStartScatters of its square to set off, and the next
    // longer one StayScatters; StayScatters to go on) gives the speed shown; the shortest whose error along the way
    // is within a WideShare of that is the speed told, and where that line
    // shows no way beyond StayScatters of its error the car stops.
    static constexpr double WideSquares = 50.0;
    static constexpr std::array<double, 5> WideBaselines = {4.0, 6.0, 8.0, 11.0, 16.0};
    static constexpr double WideShare = 4.0;
    static constexpr double WideStartScatters = 10.0;
    // The jitter's seconds of lessons before it tells a fix's error so;
    // judged by its lessons over SpreadSeconds (over ShownSeconds, a fix's
    // error seemed now and then two thirds of what it is, and a standing
    // car set off in one stand of a minute in three).
    static constexpr double WideLearnSeconds = 3.0;
    static constexpr double SpreadSeconds = 40.0;

    // A departure from a stand: the fixes since the car stood (StandSeconds
    // of them at most before it set off) lie at one place P until a time
    // tau of the last DepartSeconds, then on a line from P at an even pace.
    // Against a standing car, that line takes away from the squares of the
    // fixes' distances from their mean what v² sum (t - tau)² makes of them
    // (less for the uncertainty of P): it grows with the cube of the fixes
    // since tau. That share, over a fix's mean square error on one axis
    // (the claimed one or its jitter's, the larger), is the evidence; a
    // standing car's is the sum of the squares of two normal draws, beyond
    // c once in e^(c/2). A car sets off where it exceeds DepartEvidence and
    // two of the log of the fixes judged since it stood times the taus
    // tried (each is a look: a stand of ten minutes, or at 10 Hz, is no
    // likelier to set off than one of ten seconds at 1 Hz), where the
    // line's velocity is known within CourseMinSpeed on each axis and at
    // least that; it is the car's velocity. It goes on leaving while the
    // evidence exceeds DepartStay, until a stop since one of the last
    // DepartSeconds (the line's way held there from then on) is as
    // evident against the line going on, or the nodes' way of two seconds
    // shows beyond the scatter more than DepartSeconds after it set off.
    // Only where the fixes scatter on their own: their jitter no less than
    // a DepartFit share of the claimed error and of what the fixes of its
    // stands showed (a wandering scatter's jitter is an eighth of them, and
    // its drift looks like slow motion), the squares left about the line
    // and P, per degree of freedom, no more than DepartFit of the jitter's,
    // and no fewer than DepartStandFixes fixes of the stand.
    static constexpr double DepartEvidence = 12.0;
    static constexpr double DepartStay = 9.0;
    static constexpr double DepartSeconds = 8.0;
    static constexpr double DepartFit = 3.0;
    static constexpr int DepartStandFixes = 3;

  private:
    struct Place {
        double seconds = 0.0; // of the day
        double latitude = 0.0;
        double longitude = 0.0;
        float hdop = 0.0f;
        bool stray = false;
    };
    // The mean of the fixes of one second, in metres east and north of the
    // fix told, and how many seconds before it.
    struct Node {
        double east = 0.0;
        double north = 0.0;
        double age = 0.0;
        int leg = 0; // which second back
        int fixes = 0; // averaged
    };
    struct Motion {
        float speed = 0.0f;
        std::optional<float> course; // degrees
        // The speed of the line the last second's fixes lie on, where they
        // do (OneLineFixes): no stand of the seconds before in it.
        float lined = 0.0f;
    };
    // The ways of single fixes two seconds old or older to the fix told,
    // each against the larger of the two fixes' errors: whether the newest
    // one's lies within it (a car that just turned back), whether any one's
    // is longer.
    struct Reach {
        bool turnedBack = false;
        bool beyondError = false;
    };
    // The straight line at an even pace that fits the nodes of the whole
    // window, and the fixes of the last two seconds: their mean square
    // distance from it (m², NaN with fewer than three) and how many; and the
    // line of the fixes of the last second: theirs, how many, and its
    // velocity (m/s east and north).
    struct Line {
        double squares = 0.0;
        int fixes = 0;
        double twoSquares = 0.0;
        int twoFixes = 0;
        double oneSquares = 0.0;
        int oneFixes = 0;
        double oneEast = 0.0;
        double oneNorth = 0.0;
        double wholeEast = 0.0; // the nodes' line's velocity (m/s)
        double wholeNorth = 0.0;
    };
    // The nodes of the fixes kept and `fix`, the newest first; returns how
    // many, the largest error of their fixes in `errorMetres`, the fixes'
    // reach, and the lines: the nodes' over the whole window, and the
    // fixes' of the last two seconds where `twoSecondsOfFixes`.
    std::size_t nodes(const Fix& fix, double now, std::array<Node, MaxLegs + 1>& out, double& errorMetres,
                      Reach& reach, Line& line, bool twoSecondsOfFixes) const;
    // Where a place lies from where the car's motion puts it, seen from an
    // earlier place (metres east and north), and how far the motion and the
    // fixes' error let it lie.
    struct Off {
        double east = 0.0;
        double north = 0.0;
        double reach = 0.0;
        double squares() const { return east * east + north * north; }
        bool beyond() const { return squares() > reach * reach; }
    };
    Off off(const Place& place, const Place& from) const;
    // The last place taken in (not a stray), `back` places back, where it is
    // no more than MaxLegs seconds before `now` and the car was seen
    // standing or moving; else none.
    const Place* lastTaken(double now, std::size_t& back) const;
    // Whether `place` is a stray; takes a move for good (or the one the
    // gate told, `moveTold`) in, moving the places kept before it.
    bool takeStray(const Place& place, bool moveTold);
    // Moves the places kept `from` back and older by so many metres.
    void shift(std::size_t from, double east, double north);
    // Whether a speed or course given at that time says nothing of `now`.
    static bool stale(const std::optional<double>& given, double now);
    // Learns the jitter from `fix` and the two fixes kept before it.
    void learnJitter(const Fix& fix, double now);
    // The course over the shortest way back beyond the jitter within
    // TurnSeconds, and the speed along the fixes of the last two seconds
    // (in steps of TurnStepSeconds at least) where their way is beyond it.
    Motion turnMotion(const Fix& fix, double now) const;
    // Whether the nodes up to `to` go one way: every leg the way of the
    // whole, the whole at least `share` as long as the legs end to end.
    bool setsOff(const std::array<Node, MaxLegs + 1>& node, std::size_t to, double share) const;
    // Decides whether the car moves; learns the scatter when it stands.
    Motion judge(const Fix& fix, double now);
    // Where the fixes' error is wide against two seconds of nodes, the
    // motion over a longer baseline; else none.
    std::optional<Motion> wideMotion(const Fix& fix, double now, int nodeFixes) const;
    // The mean square way of the scatter over `leg` seconds: learned, or
    // guessed from the fixes' error.
    double scatter(int leg, double errorMetres, int nodeFixes) const;
    // The most a fix's claimed error counts for (metres): what
    // ScatterCeilingMetres allows, and once the car stood, what its fixes
    // showed (HDOP 1's error at least).
    double errorBound() const;
    double guess(double errorMetres, int nodeFixes) const;
    // A third of the square of the claimed error, HDOP 1's at least.
    double claimedGuess(double errorMetres) const;
    // The fewest fixes a node a second or more old averages.
    static int fewestFixes(const std::array<Node, MaxLegs + 1>& node, std::size_t count);
    // Where the car stands: the mean of the nodes up to `legs` seconds
    // back, as many seconds of fixes as they hold (`seconds` at least).
    void placeStand(const Fix& fix, const std::array<Node, MaxLegs + 1>& node, std::size_t count, int legs,
                    double seconds);
    // A lesson of where the car stands, from `fix` (at `now`) and the
    // nodes, the newest `seconds` after the fix before it.
    void learnStand(const Fix& fix, double now, const std::array<Node, MaxLegs + 1>& node, std::size_t count,
                    double seconds, double errorMetres);
    // The square of the way of the mean of the last two seconds' nodes
    // from where the car stood, and in `gain` how much farther from there
    // that mean lies than the older nodes' (metres).
    double fromStand(const Fix& fix, const std::array<Node, MaxLegs + 1>& node, std::size_t count,
                     double& gain) const;
    // The line from where the car stood that the fixes since its stand fit
    // best, set off no more than `tauSeconds` ago, and a stop on it.
    struct Departure {
        double evidence = 0.0; // against a standing car, over a fix's error
        double east = 0.0;     // velocity, m/s
        double north = 0.0;
        double tau = 0.0;      // seconds before the fix told it set off
        bool scattered = false; // its fixes scatter on their own
        bool holds = false;     // they lie about the line within their error
        bool known = false;     // its velocity within CourseMinSpeed on each axis
        // The evidence of a stop since so many seconds (against the line
        // going on), on the same scale.
        double stop = 0.0;
        double stoppedFor = 0.0;
        int tried = 0;      // taus tried
        int stopsTried = 0; // stops tried
    };
    Departure departure(const Fix& fix, double now, double tauSeconds) const;
    // A lesson of the scatter from the nodes of a standing car, the newest
    // `seconds` after the fix before it.
    void learn(const std::array<Node, MaxLegs + 1>& node, std::size_t count, double seconds, double errorMetres);
    void restart();
    const Place& kept(std::size_t back) const { return m_places[(m_next + Kept - back) % Kept]; }

    float m_uere = 5.0f;
    // The motion last told, and its velocity (m/s east and north).
    Motion m_told;
    double m_velocityEast = 0.0;
    double m_velocityNorth = 0.0;
    // The mean square distance of the fixes from their line (m²), and the
    // seconds of lessons.
    double m_shown = 0.0;
    double m_shownFor = 0.0;
    // The mean square second difference of evenly spaced fixes (m²), and
    // the seconds of lessons.
    double m_jitter = 0.0;
    double m_jitterFor = 0.0;
    // The same, over SpreadSeconds: what a wide scatter is judged by.
    double m_spread = 0.0;
    double m_spreadFor = 0.0;
    double m_eastPerDegree = 0.0; // metres of a degree east at the fix judged
    std::optional<double> m_speedGiven; // seconds of the day
    std::optional<double> m_courseGiven;
    bool m_moveTold = false;
    bool m_moving = false;
    bool m_seenMoving = false; // since the start, or the last restart
    std::optional<double> m_stillSince; // a moving car's way within the scatter since
    std::optional<double> m_stoppedAt;  // the car last stopped
    std::optional<double> m_setOffAt;   // the car last set off
    // The scatter's mean square way over 1 to MaxLegs seconds (m²), once
    // learned, and the seconds of lessons (up to LearnSeconds).
    std::array<double, MaxLegs + 1> m_scatter{};
    bool m_learned = false;
    std::array<double, MaxLegs + 1> m_learnedFor{};
    double m_claimWeighs = PriorSeconds; // the guess's weight against lessons that show less
    // Where the car stands (degrees), and the seconds of fixes in it; the
    // mean square way of the last two seconds' fixes from it (m²), and the
    // seconds of lessons.
    double m_standLatitude = 0.0;
    double m_standLongitude = 0.0;
    double m_standFor = 0.0;
    double m_standOff = 0.0;
    double m_standOffFor = 0.0;
    // A fix's mean square distance from where the car stands (m², both
    // axes), and the seconds of lessons.
    double m_fixOff = 0.0;
    double m_fixOffFor = 0.0;
    bool m_leavingStand = false; // set off from it, its way not yet shown
    std::optional<double> m_standSince; // the car stands, or last stood, since
    std::optional<double> m_departedAt;  // it set off so from its stand, then
    // The velocity of a car leaving it (m/s east and north), averaged over
    // the seconds it has been leaving.
    double m_leaveEast = 0.0;
    double m_leaveNorth = 0.0;
    double m_leaveFor = 0.0;
    // The last fixes told, a ring.
    std::array<Place, Kept> m_places;
    std::size_t m_count = 0;
    std::size_t m_next = 0;
};

} // namespace Positioning
