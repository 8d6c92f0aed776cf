// World coordinates (y up, the map centred on the origin) to CSS pixels of
// the map canvas (y down), with pan and zoom.
RV.ViewTransform = class {
  constructor() {
    this.width = 1;
    this.height = 1;
    this.cx = 0;
    this.cy = 0;
    this.scale = 1;
  }

  resize(width, height) {
    this.width = width;
    this.height = height;
  }

  // Shows the square [-half, half]² with a small margin.
  fit(half) {
    this.cx = 0;
    this.cy = 0;
    this.scale = Math.min(this.width, this.height) / (2 * half * 1.04);
  }

  toScreen(x, y) {
    return { x: this.width / 2 + (x - this.cx) * this.scale, y: this.height / 2 - (y - this.cy) * this.scale };
  }

  toWorld(sx, sy) {
    return { x: this.cx + (sx - this.width / 2) / this.scale, y: this.cy - (sy - this.height / 2) / this.scale };
  }

  panBy(dx, dy) {
    this.cx -= dx / this.scale;
    this.cy += dy / this.scale;
  }

  // Zooms keeping the world point under the cursor where it is.
  zoomAt(sx, sy, factor) {
    const before = this.toWorld(sx, sy);
    this.scale = Math.min(Math.max(this.scale * factor, 1e-6), 1e6);
    const after = this.toWorld(sx, sy);
    this.cx += before.x - after.x;
    this.cy += before.y - after.y;
  }

  // Sets the canvas context so that paths can be given in world units.
  applyTo(ctx, dpr) {
    const s = this.scale * dpr;
    ctx.setTransform(s, 0, 0, -s, dpr * (this.width / 2 - this.cx * this.scale), dpr * (this.height / 2 + this.cy * this.scale));
  }
};
