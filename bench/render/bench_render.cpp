// One composition of the player picture, and one title line drawn and measured. Each has a
// reference beside it on the same input: the composition against one QPainter blit of the
// unlit player (the least any frame could cost through Qt), the text line against a bare
// QPainter::drawText into an image of the same size; the picture of a scaling screen (the art
// scaled, the title drawn at the device resolution) against a QPainter nearest-neighbour scale
// of the same frame.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "render/Composition.h"
#include "render/DevicePicture.h"
#include "render/SkinSource.h"
#include "render/TextDraw.h"

namespace {

struct Surfaces {
    CDibSurface skin, work;
    Surfaces() {
        CreateFromResource(skin, kSkinBitmapId);
        CreateWorkSurface(work);
    }
};

// A busy frame: playing with a title scrolling through, the elapsed time, a lit button.
void BM_ComposeFrame(benchmark::State& bench) {
    Surfaces s;
    PlayerState st;
    DrawTitleLines(s.skin, " 01 夜明けのメロディー.mp3  <0:04:33> |", " 夜明けのメロディー ： 青空バンド  |", st);
    st.marqueeOffset = 30;
    st.lengthMs = st.lengthFrames = 273000;
    st.seekKnobX = 72;
    st.volumeKnobX = 44;
    st.buttonCounters[kCounterPlay] = 1;
    Settings settings;
    FrameInputs in{95000, 12, 4};
    for (auto _ : bench) {
        ComposeFrame(s.work, s.skin, st, settings, in);
        benchmark::DoNotOptimize(s.work.TopRow());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMicrosecond);

void BM_Reference_QPainterBlitOfTheUnlitPlayer(benchmark::State& bench) {
    Surfaces s;
    const QImage skin(s.skin.TopRow(), 640, 400, s.skin.RowBytes(), QImage::Format_BGR888);
    QImage work(640, 400, QImage::Format_BGR888);
    for (auto _ : bench) {
        QPainter p(&work);
        p.drawImage(QPoint(0, 0), skin, QRect(0, 0, 406, 93));
        p.end();
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_Reference_QPainterBlitOfTheUnlitPlayer)->Unit(benchmark::kMicrosecond);

// Arguments: the device pixel ratio in percent. The title strips are drawn once (as the player
// does on a track change); each frame scales the art and shows the title pieces.
void BM_DevicePicture(benchmark::State& bench) {
    Surfaces s;
    PlayerState st;
    const std::string line = " 夜明けのメロディー ： 青空バンド  |";
    DrawTitleLines(s.skin, line, line, st);
    st.marqueeOffset = 30;
    const DisplayText shown = ComposeFrame(s.work, s.skin, st, Settings{}, FrameInputs{95000, 12, 4});
    DevicePicture picture;
    picture.SetText(DevicePicture::kTitleLine1, line), picture.SetText(DevicePicture::kTitleLine2, line);
    const double ratio = bench.range(0) / 100.0;
    for (auto _ : bench) benchmark::DoNotOptimize(picture.Compose(s.work, s.skin, shown, ratio, 321, 92).constBits());
}
BENCHMARK(BM_DevicePicture)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_Reference_QPainterNearestScale(benchmark::State& bench) {
    Surfaces s;
    const QImage work(s.work.TopRow(), 640, 400, s.work.RowBytes(), QImage::Format_BGR888);
    const double ratio = bench.range(0) / 100.0;
    QImage out(int(321 * ratio + 0.5), int(92 * ratio + 0.5), QImage::Format_RGB32);
    for (auto _ : bench) {
        QPainter p(&out);
        p.drawImage(QRectF(0, 0, out.width(), out.height()), work, QRectF(0, 0, 321, 92));
        p.end();
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_Reference_QPainterNearestScale)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

const std::string kTitle = " 夜明けのメロディー ： 青空バンド  |";

void BM_DrawTextLinePlusMeasureLine(benchmark::State& bench) {
    Surfaces s;
    for (auto _ : bench) {
        DrawTextLine(s.skin, kTitle, 12, 0, 244);
        benchmark::DoNotOptimize(MeasureLine(s.skin, 250));
    }
}
BENCHMARK(BM_DrawTextLinePlusMeasureLine)->Unit(benchmark::kMicrosecond);

void BM_Reference_QPainterDrawText(benchmark::State& bench) {
    const QString text = QString::fromStdString(kTitle);
    const QFont font = PlayerFont(12);
    QImage image(QFontMetrics(font).horizontalAdvance(text), QFontMetrics(font).height(), QImage::Format_RGB32);
    for (auto _ : bench) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPoint(0, QFontMetrics(font).ascent()), text);
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_Reference_QPainterDrawText)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
