#include "hosts/springboard/Overlays.h"
#include "hosts/common/ViewText.h"
#include "hosts/springboard/SpringBoard.h"
#include "platform/foundation/NSString.h"
#include "platform/ui/ApplicationIcons.h"
#include "platform/ui/TextImage.h"
#include "platform/ui/UIScreen.h"

void Overlays::update() {
    bool wantPrompt = m_host.locked() && m_host.unlockRequested();
    if (wantPrompt && !m_prompt)
        m_prompt = makePrompt();
    if (!wantPrompt && m_prompt) {
        m_prompt->removeFromSuperview();
        m_prompt = nullptr;
    }
    std::string app = m_host.locked() ? std::string() : m_host.foregroundApp();
    if (app != m_shownApp) {
        if (m_app)
            m_app->removeFromSuperview();
        m_app = app.empty() ? nullptr : makeAppScreen(app);
        m_shownApp = app;
    }
}

Ref<UIView> Overlays::label(const std::string& text, const std::string& font, double centreY) const {
    UIView* screen = m_host.screenView();
    double scale = UIScreen::mainScreen()->scale();
    Ref<CGImage> image = textImage(text, font, scale);
    if (!image)
        return nullptr;
    double width = image->width() / scale, height = image->height() / scale;
    Ref<UIView> view = makeViewWithFrame<UIView>(
        CGRectMake((screen->bounds().size.width - width) / 2, centreY - height / 2, width, height));
    view->layer()->setContents(image);
    setViewText(view, text);
    return view;
}

Ref<UIView> Overlays::makePrompt() {
    UIView* screen = m_host.screenView();
    Ref<UIView> prompt = makeViewWithFrame<UIView>(screen->bounds());
    prompt->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, 0.6));
    double middle = screen->bounds().size.height / 2;
    if (auto title = label("Enter Passcode", "DejaVu Sans 22px", middle - 30))
        prompt->addSubview(title);
    if (auto hint = label("Click or press any key to authenticate", "DejaVu Sans 14px", middle + 10))
        prompt->addSubview(hint);
    screen->addSubview(prompt);
    return prompt;
}

Ref<UIView> Overlays::makeAppScreen(const std::string& bundle) {
    UIView* screen = m_host.screenView();
    Ref<UIView> app = makeViewWithFrame<UIView>(screen->bounds());
    app->setBackgroundColor(UIColor::colorWithRed(0.16, 0.17, 0.2, 1));
    auto identifier = NSString::stringWithUTF8String(bundle);
    auto installed = installedApp(identifier);
    double middle = screen->bounds().size.height / 2;
    if (Ref<UIImage> icon = applicationIconImage(identifier, 2, 2.0)) {
        Ref<UIView> iconView = makeViewWithFrame<UIView>(
            CGRectMake(screen->bounds().size.width / 2 - 60, middle - 150, 120, 120));
        iconView->layer()->setContents(icon->cgImage());
        app->addSubview(iconView);
    }
    if (auto name = label(installed ? installed->name : bundle, "DejaVu Sans Bold 28px", middle + 10))
        app->addSubview(name);
    if (auto hint = label("Press L to lock", "DejaVu Sans 14px", middle + 60))
        app->addSubview(hint);
    screen->addSubview(app);
    return app;
}
