#include "hosts/springboard/LockClock.h"
#include "hosts/common/ViewText.h"
#include "platform/graphics/CGImage.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/TextImage.h"

#include <cmath>
#include <system_error>

namespace {

constexpr const char* timeFont = "DejaVu Sans Light 78px";
constexpr const char* dateFont = "DejaVu Sans 20px";

} // namespace

LockClock::LockClock(std::time_t origin, bool inUTC, double scale)
    : m_origin(origin), m_inUTC(inUTC), m_scale(scale) {
    int seconds = 0;
    Texts texts = textsAt(RunLoop::main()->nowMilliseconds() / 1000, seconds);
    try {
        m_first = std::async(std::launch::async, draw, texts, scale);
    } catch (const std::system_error&) {
        // No thread to spare: the first face is drawn when it is shown, as every later one is.
    }
}

LockClock::~LockClock() {
    if (m_first.valid())
        m_first.wait();
}

LockClock::Texts LockClock::textsAt(double elapsedSeconds, int& secondsIntoMinute) const {
    std::time_t shown = m_origin + static_cast<std::time_t>(elapsedSeconds);
    std::tm parts{};
    if (m_inUTC)
        gmtime_r(&shown, &parts);
    else
        localtime_r(&shown, &parts);
    char time[16], date[64];
    std::strftime(time, sizeof time, "%-H:%M", &parts);
    std::strftime(date, sizeof date, "%A %-d %B", &parts);
    secondsIntoMinute = parts.tm_sec;
    Texts texts{time, date};
    if (m_pinned) {
        texts.time = StatusBarOverride::timeText(*m_pinned);
        if (m_pinned->day)
            texts.date = StatusBarOverride::dateText(*m_pinned);
    }
    return texts;
}

void LockClock::pin(std::optional<StatusBarOverride::Moment> moment) {
    m_pinned = std::move(moment);
    if (m_face)
        show();
}

LockClock::Pictures LockClock::draw(Texts texts, double scale) {
    Pictures pictures{texts, textBitmap(texts.time, timeFont, scale),
                      textBitmap(texts.date, dateFont, scale)};
    return pictures;
}

void LockClock::showIn(UIView* face) {
    m_face = face;
    show();
}

void LockClock::show() {
    double elapsed = RunLoop::main()->nowMilliseconds() / 1000;
    int seconds = 0;
    Texts texts = textsAt(elapsed, seconds);
    // The face drawn at start-up serves unless a minute turned meanwhile.
    Pictures pictures;
    if (m_first.valid())
        pictures = m_first.get();
    if (pictures.texts.time != texts.time || pictures.texts.date != texts.date)
        pictures = draw(texts, m_scale);

    m_shown = texts;
    for (const Ref<UIView>& old : std::vector<Ref<UIView>>(m_face->subviews()))
        old->removeFromSuperview();
    double width = m_face->bounds().size.width;
    auto place = [&](std::optional<Bitmap>& bitmap, double top, const std::string& text) {
        if (!bitmap)
            return;
        double w = bitmap->width() / m_scale, h = bitmap->height() / m_scale;
        Ref<UIView> view = makeViewWithFrame<UIView>(CGRectMake((width - w) / 2, top, w, h));
        view->layer()->setContents(CGImage::imageWithBitmap(std::move(*bitmap)).get());
        setViewText(view, text);
        m_face->addSubview(view);
    };
    place(pictures.time, 60, texts.time);
    place(pictures.date, 160, texts.date);
    // Again as the next minute turns.
    double toNextMinute = 60 - static_cast<double>(seconds) - (elapsed - std::floor(elapsed));
    std::weak_ptr<bool> alive = m_alive;
    // Only the newest face's redraw is due: a face shown afresh meanwhile (pinned) has its own.
    uint64_t generation = ++m_generation;
    RunLoop::main()->enqueue(RunLoop::main()->nowNanoseconds() + static_cast<int64_t>(toNextMinute * 1e9),
                             [this, alive, generation] {
                                 if (alive.lock() && generation == m_generation)
                                     show();
                             });
}
