// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/document/DocumentElements.h"

namespace brisquell::state
{

StateContent readStateDocument (const juce::XmlElement& document)
{
    StateContent content;

    if (const auto* element = getChild (document, "scenes"))
    {
        content.sharpness = readSharpness (*element);
        content.scenes = readScenes (*element);
    }

    if (const auto* element = getChild (document, "controllers"))
        content.controllers = readControllers (*element, (int) content.scenes.size());

    if (const auto* element = getChild (document, "gui"))
        content.editorSize = readEditorSize (*element);

    // Of the pane's view only what the pane reads is kept: nothing else of the element can
    // reach a later save.
    if (const auto* element = getChild (document, "morphpanestate"))
        content.paneView = readPaneView (*element);

    // Without the element (every document written before it existed) nothing plays from a
    // controller: no sources and the glide off.
    if (const auto* element = getChild (document, "cursorcontrol"))
        content.cursorControl = readCursorControl (*element);

    if (const auto* element = getChild (document, "session"))
        content.session = readSession (*element, (int) content.scenes.size());

    return content;
}

std::unique_ptr<juce::XmlElement> createStateDocument (const StateContent& content, const juce::String& tagName)
{
    auto root = std::make_unique<juce::XmlElement> (tagName);

    // Prepended from the last to the first (see createControllersElement); the session, when
    // there is one, goes after them all.
    if (content.cursorControl.isInUse())
        root->prependChildElement (createCursorControlElement (content.cursorControl).release());

    if (content.paneView)
        root->prependChildElement (createPaneViewElement (*content.paneView).release());

    if (content.editorSize)
        root->prependChildElement (createEditorSizeElement (*content.editorSize).release());

    root->prependChildElement (createScenesElement (content.scenes, content.sharpness).release());
    root->prependChildElement (createControllersElement (content.controllers).release());

    if (content.session)
        if (auto sessionElement = createSessionElement (*content.session))
            root->addChildElement (sessionElement.release());

    return root;
}

} // namespace brisquell::state
