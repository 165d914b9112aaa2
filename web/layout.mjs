// The terminal's size on the page: its font follows the width it really has, and its columns and
// rows fill it, on every resize, turn of a phone, zoom, or on-screen keyboard.

const SMALLEST_FONT = 10;  // CSS pixels
const LARGEST_FONT = 15;
const WIDTH_OF_LARGEST_FONT = 810;

// The font grows with the square root of the width: a 360 px phone gets 10 px text and still 58
// columns, and zooming in, which narrows the page in CSS pixels by the zoom factor, still
// enlarges the text at every step (by the square root of the factor until 10 px, then fully).
export const fontSizeFor = (width) => Math.min(LARGEST_FONT,
    Math.max(SMALLEST_FONT, LARGEST_FONT * Math.sqrt(Math.max(0, width) / WIDTH_OF_LARGEST_FONT)));

// Where an on-screen keyboard covers the page rather than resizing it, the visual viewport is
// what stays in view: the page is made that high. Pinch-zoom shrinks the visual viewport too,
// and must not refit anything: it is told apart by its scale.
function visibleHeight() {
    const viewport = window.visualViewport;
    if (!viewport || viewport.scale > 1.001) return window.innerHeight;
    return Math.min(window.innerHeight, viewport.height);
}

// Keeps the terminal fitted: `fit` is the addon's, called after the font is set.
export function keepFitted(terminal, fit, container) {
    const refit = () => {
        document.documentElement.style.setProperty('--visible-height', `${visibleHeight()}px`);
        const fontSize = Math.round(fontSizeFor(container.clientWidth) * 100) / 100;
        if (terminal.options.fontSize !== fontSize) terminal.options.fontSize = fontSize;
        fit.fit();
        // A keyboard that covers the page may have scrolled it to show the field: back to the top.
        if (window.scrollY !== 0) window.scrollTo(0, 0);
    };
    new ResizeObserver(refit).observe(container);
    window.visualViewport?.addEventListener('resize', refit);
    window.addEventListener('resize', refit);
    refit();
    return refit;
}
