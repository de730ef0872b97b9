// SPDX-License-Identifier: GPL-3.0-or-later
#include "pane/MenuPlacement.h"

namespace brisquell
{

namespace
{
/** The windows waiting for their repaint after a menu, repainted together when the wait ends. */
class MenuRepaints final : private juce::Timer,
                           private juce::DeletedAtShutdown
{
public:
    ~MenuRepaints() override { clearSingletonInstance(); }

    void add (juce::Component* window)
    {
        windows.addIfNotAlreadyThere (window);
        startTimer (menuSettleMs);
    }

    JUCE_DECLARE_SINGLETON_SINGLETHREADED (MenuRepaints, false)

private:
    void timerCallback() override
    {
        stopTimer();

        for (auto& window : windows)
            if (window != nullptr)
                window->repaint();

        windows.clear();
    }

    juce::Array<juce::Component::SafePointer<juce::Component>> windows;
};

JUCE_IMPLEMENT_SINGLETON (MenuRepaints)
} // namespace

void repaintAfterMenu (juce::Component* component)
{
    auto* window = component != nullptr ? component->getTopLevelComponent() : nullptr;

    if (window == nullptr)
        return;

    window->repaint();

    if (auto* repaints = MenuRepaints::getInstance())
        repaints->add (window);
}

} // namespace brisquell
