#pragma once
// What a screen reader hears for a control: a control that shows no text
// of its own (an icon button, an edit, a list) is named by its hint, and
// follows the hint when a language file changes it. Widgets marked as
// pictures are read as images, under the names their windows give them.
class QWidget;

namespace accessibleNames {

// Watches every widget's hint from now on and names those already made.
// Once per application; later calls do nothing.
void nameControlsByHints();
// Read as an image; its name is the widget's own, never its hint.
void markAsPicture(QWidget* widget);

} // namespace accessibleNames
