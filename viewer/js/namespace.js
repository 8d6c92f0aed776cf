// The viewer is plain classic scripts so that index.html works when opened
// as a file (browsers refuse module scripts from file://). They share this
// one global object; each script adds its part to it.
var RV = window.RV || {};
window.RV = RV;
