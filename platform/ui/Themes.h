#pragma once
// The platform's visual styles (uxtheme): whether windows are drawn with a visual style now.

class TStyleServices {
public:
  // uxtheme is there, the application is themed and a visual style is active.
  bool Enabled() const;
};
// The process's style services, made on first use.
TStyleServices& StyleServices();
