#include "transition/designer/TransitionViewPlugin.h"

#include <lumivo/TransitionView.h>

#include <QIcon>

namespace lmvo {

QString TransitionViewPlugin::name() const { return QStringLiteral("lmvo::TTransitionView"); }
QString TransitionViewPlugin::group() const { return QStringLiteral("Lumivo"); }
QString TransitionViewPlugin::toolTip() const { return QStringLiteral("Pictures through animated transitions"); }
QString TransitionViewPlugin::whatsThis() const
{
    return QStringLiteral("Shows a picture and brings in the next one through one of 117 animated transition styles.");
}
// Angle brackets: uic includes the installed header as a library header.
QString TransitionViewPlugin::includeFile() const { return QStringLiteral("<lumivo/TransitionView.h>"); }
QIcon TransitionViewPlugin::icon() const { return QIcon(); }
bool TransitionViewPlugin::isContainer() const { return false; }

// A new view in a form: a size to see it by, filling its cell in a layout.
QString TransitionViewPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
 <widget class="lmvo::TTransitionView" name="transitionView">
  <property name="geometry"><rect><x>0</x><y>0</y><width>320</width><height>240</height></rect></property>
  <property name="autoSize"><bool>false</bool></property>
 </widget>
</ui>)");
}

QWidget* TransitionViewPlugin::createWidget(QWidget* parent) { return new TTransitionView(parent); }

} // namespace lmvo
