// The files a picture is exported to open as what they claim to be: a PNG
// of the requested size, an SVG that Qt's renderer accepts with the page's
// size and title, a PDF of exactly one page; the function a front end
// without a window calls writes all three from the project state.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <string>

#include <gtest/gtest.h>

#include "plot/plot_render.h"
#include "project/object_points_pipeline.h"
#include "tests/project/loaded_project.h"
#include "tests/project/road_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

QByteArray Bytes(const std::string& file) {
    QFile in(QString::fromStdString(file));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

TEST(PlotExport, PngSvgAndPdfOfBothViewsOpen) {
    test::LoadedProject lp(test::RoadProject());
    ASSERT_TRUE(ObjectPointsCommand(lp.state, lp.host));
    const PlotRequest views[] = {{PlotView::ImageResiduals, 2, PlanAxes::XY, true},
                                 {PlotView::BlockPlan, 1, PlanAxes::XZ, false}};
    for (const PlotRequest& request : views) {
        const std::string stem = lp.dir.Path(request.view == PlotView::BlockPlan ? "pudorys" : "rezidua");
        const std::string title = BuildPlotScene(lp.state, request, ',', "p").title;
        SCOPED_TRACE(title);
        std::string error;

        ASSERT_TRUE(RenderPlotToFile(lp.state, request, ',', "p", stem + ".png", 640, 480, &error)) << error;
        const QImage image(QString::fromStdString(stem + ".png"));
        EXPECT_EQ(image.size(), QSize(640, 480));
        // Something besides the white page was drawn, in colour.
        int coloured = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) {
                const QColor c = image.pixelColor(x, y);
                coloured += c.saturation() > 80 ? 1 : 0;
            }
        EXPECT_GT(coloured, 50);

        ASSERT_TRUE(RenderPlotToFile(lp.state, request, ',', "p", stem + ".svg", 900, 600, &error)) << error;
        QSvgRenderer svg(QString::fromStdString(stem + ".svg"));
        EXPECT_TRUE(svg.isValid());
        EXPECT_EQ(svg.viewBox(), QRect(0, 0, 900, 600));
        EXPECT_TRUE(Bytes(stem + ".svg").contains(("<title>" + title + "</title>").c_str()));

        ASSERT_TRUE(RenderPlotToFile(lp.state, request, ',', "p", stem + ".pdf", 900, 600, &error)) << error;
        const QByteArray pdf = Bytes(stem + ".pdf");
        EXPECT_TRUE(pdf.startsWith("%PDF-"));
        EXPECT_EQ(QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))), 1);
    }

    // A folder that does not exist, or a format it cannot write, is refused
    // with a message.
    std::string error;
    EXPECT_FALSE(RenderPlotToFile(lp.state, {}, ',', "p", lp.dir.Path("chybi/r.png"), 640, 480, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(RenderPlotToFile(lp.state, {}, ',', "p", lp.dir.Path("r.jpg"), 640, 480, &error));
}

}  // namespace
}  // namespace pelvanor
