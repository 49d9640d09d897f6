// The page's side of the front-end: the form in the DOM, its input, and
// the canvas. Called from Page.cpp; calls back through the exports in
// main.cpp.
mergeInto(LibraryManager.library, {
  $kestivoPage: {
    form: null,
    canvas: null,
    context: null,
    buttons: [],      // by tab order
    frame: 0,         // the animation frame asked for, if any
    pressStamp: 0,    // when the pointer's last press began
    // A press of a button, by pointer or key, at the event's time stamp.
    press: function(button, stamp) {
      return Module['_kestivo_press'](button, stamp) !== 0;
    },
    discards: function(stamp) {
      return Module['_kestivo_discards'](stamp) !== 0;
    },
    // The frame clock: animation frames stop by themselves while the page
    // is hidden, and are not asked for while nothing is drawn.
    tick: function(now) {
      kestivoPage.frame = requestAnimationFrame(kestivoPage.tick);
      Module['_kestivo_frame'](now);
    },
    // The scale of the screen the page is on; a move to another, or a zoom,
    // draws the picture again at the new one. Browsers tell of a change by a
    // media query, a resize, or neither until they next render, so the
    // ratio is also looked at after each routine.
    ratio: 0,
    checkScale: function() {
      var ratio = window.devicePixelRatio || 1;
      if (ratio === kestivoPage.ratio)
        return;
      kestivoPage.ratio = ratio;
      Module['_kestivo_rescale'](ratio);
    },
    watchScale: function() {
      kestivoPage.ratio = window.devicePixelRatio || 1;
      var query;
      var changed = function() {
        query.removeEventListener('change', changed);
        kestivoPage.checkScale();
        watch();
      };
      var watch = function() {
        query = window.matchMedia('(resolution: ' + kestivoPage.ratio + 'dppx)');
        query.addEventListener('change', changed);
      };
      watch();
      window.addEventListener('resize', kestivoPage.checkScale);
    },
    onKey: function(event) {
      var page = kestivoPage;
      if (page.discards(event.timeStamp)) {
        event.preventDefault();
        event.stopPropagation();
        return;
      }
      var at = page.buttons.indexOf(document.activeElement);
      if (event.type === 'keydown' && event.key === 'Tab') {
        // Tab and Shift+Tab go round the form's buttons, as in a window.
        if (at < 0)
          return;
        event.preventDefault();
        var n = page.buttons.length;
        page.buttons[(at + (event.shiftKey ? n - 1 : 1)) % n].focus();
        return;
      }
      if (event.key !== ' ' && event.key !== 'Enter')
        return;
      // The page presses its buttons itself: a held key presses once, and
      // the browser's own activation (Space on release) must not add one.
      event.preventDefault();
      if (event.type === 'keydown' && !event.repeat && at >= 0)
        page.press(page.buttons[at].kestivoIndex, event.timeStamp);
    },
  },

  kestivo_js_form__deps: ['$kestivoPage'],
  kestivo_js_form: function(caption, width, height) {
    var page = kestivoPage;
    var title = UTF8ToString(caption);
    document.title = title;
    var root = document.getElementById('kestivo');
    root.textContent = '';
    var window_ = document.createElement('div');
    window_.className = 'window';
    var bar = document.createElement('div');
    bar.className = 'caption';
    bar.id = 'caption';
    bar.textContent = title;
    window_.appendChild(bar);
    var form = document.createElement('div');
    form.id = 'Form1';
    form.className = 'form';
    form.setAttribute('role', 'group');
    form.setAttribute('aria-labelledby', 'caption');
    form.setAttribute('aria-busy', 'false');
    form.style.width = width + 'px';
    form.style.height = height + 'px';
    var canvas = document.createElement('canvas');
    canvas.id = 'picture';
    canvas.setAttribute('role', 'img');
    form.appendChild(canvas);
    var description = document.createElement('span');
    description.id = 'picture-description';
    description.className = 'hidden';
    form.appendChild(description);
    canvas.setAttribute('aria-describedby', description.id);
    window_.appendChild(form);
    root.appendChild(window_);
    page.form = form;
    page.canvas = canvas;
    // Desynchronized: a frame that changes only the picture goes to the
    // screen without a commit of the whole page's layers.
    page.context = canvas.getContext('2d', {alpha: false, desynchronized: true});
    form.addEventListener('keydown', page.onKey, true);
    form.addEventListener('keyup', page.onKey, true);
    // A pointer given while drawing neither presses nor moves the focus,
    // nor shows its button down. A click is judged by when its press began:
    // one begun before a routine's end never clicks, however late released.
    ['pointerdown', 'mousedown', 'contextmenu', 'click', 'auxclick', 'dblclick'].forEach(function(type) {
      form.addEventListener(type, function(event) {
        if (type === 'pointerdown')
          page.pressStamp = event.timeStamp;
        var discarded = page.discards(/click$/.test(type) ? page.pressStamp : event.timeStamp);
        if (/down$/.test(type))
          form.classList.toggle('discarding', discarded);
        if (discarded) {
          event.preventDefault();
          event.stopPropagation();
        }
      }, true);
    });
  },

  kestivo_js_control__deps: ['$kestivoPage'],
  kestivo_js_control: function(kind, name, text, left, top, width, height, tabIndex, rgb, points,
                               help, button) {
    var page = kestivoPage;
    var colour = '#' + ('00000' + rgb.toString(16)).slice(-6);
    var element;
    if (kind === 0) {
      element = document.createElement('button');
      element.type = 'button';
      element.textContent = UTF8ToString(text);
      element.kestivoIndex = button;
      element.kestivoTab = tabIndex;
      var note = document.createElement('span');
      note.id = UTF8ToString(name) + '-help';
      note.className = 'hidden';
      note.textContent = UTF8ToString(help);
      page.form.appendChild(note);
      element.setAttribute('aria-describedby', note.id);
      element.addEventListener('click', function(event) {
        // Keys press through onKey; this is a pointer's click.
        if (event.detail > 0 || event.pointerType)
          page.press(button, event.timeStamp);
      });
      page.buttons.push(element);
    } else if (kind === 1) {
      element = document.createElement('div');
      element.className = 'label';
      element.textContent = UTF8ToString(text);
      element.style.color = colour;
      element.style.fontSize = points + 'pt';
    } else {
      element = document.createElement('div');
      element.className = 'shape';
      element.style.borderColor = colour;
      element.setAttribute('aria-hidden', 'true');
    }
    element.id = UTF8ToString(name);
    element.style.left = left + 'px';
    element.style.top = top + 'px';
    element.style.width = width + 'px';
    element.style.height = height + 'px';
    page.form.appendChild(element);
  },

  kestivo_js_ready__deps: ['$kestivoPage'],
  kestivo_js_ready: function(pictureName, buttonPoints) {
    var page = kestivoPage;
    page.canvas.setAttribute('aria-label', UTF8ToString(pictureName));
    page.buttons.sort(function(a, b) { return a.kestivoTab - b.kestivoTab; });
    // The DOM's order is the tab order, for the browser and screen readers.
    page.buttons.forEach(function(b) {
      b.style.fontSize = buttonPoints + 'pt';
      page.form.appendChild(b);
    });
    page.buttons[0].focus({focusVisible: true});
    page.watchScale();
  },

  kestivo_js_canvas__deps: ['$kestivoPage'],
  kestivo_js_canvas: function(width, height, scale) {
    var canvas = kestivoPage.canvas;
    canvas.width = width;
    canvas.height = height;
    canvas.style.width = (width / scale) + 'px';
    canvas.style.height = (height / scale) + 'px';
    // The frame's line is one device pixel at any scale.
    kestivoPage.form.style.setProperty('--device-pixel', (1 / scale) + 'px');
  },

  kestivo_js_blit__deps: ['$kestivoPage'],
  kestivo_js_blit: function(rgba, width, height, rects, count) {
    var image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
    var context = kestivoPage.context;
    for (var i = 0; i < count; ++i) {
      var r = (rects >> 2) + 4 * i;
      context.putImageData(image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
    }
  },

  kestivo_js_busy__deps: ['$kestivoPage'],
  kestivo_js_busy: function(busy) {
    var page = kestivoPage;
    page.form.setAttribute('aria-busy', busy ? 'true' : 'false');
    page.form.classList.toggle('busy', !!busy);
    // Not disabled: a disabled button would drop the focus.
    page.buttons.forEach(function(b) { b.setAttribute('aria-disabled', busy ? 'true' : 'false'); });
    if (!busy)
      setTimeout(page.checkScale, 0);
  },

  kestivo_js_describe__deps: ['$kestivoPage'],
  kestivo_js_describe: function(text) {
    document.getElementById('picture-description').textContent = UTF8ToString(text);
  },

  kestivo_js_frames__deps: ['$kestivoPage'],
  kestivo_js_frames: function(on) {
    var page = kestivoPage;
    if (!on) {
      cancelAnimationFrame(page.frame);
      page.frame = 0;
    } else if (!page.frame) {
      page.frame = requestAnimationFrame(page.tick);
    }
  },

  kestivo_js_error: function(title, message) {
    var dialog = document.getElementById('error');
    document.getElementById('error-title').textContent = UTF8ToString(title);
    document.getElementById('error-message').textContent = UTF8ToString(message);
    dialog.addEventListener('close', function() { Module['_kestivo_error_dismissed'](); }, {once: true});
    dialog.showModal();
  },

  kestivo_js_ended__deps: ['$kestivoPage'],
  kestivo_js_ended: function(status) {
    var root = document.getElementById('kestivo');
    root.textContent = '';
    var line = document.getElementById('ended');
    line.hidden = false;
    line.dataset.status = status;
    document.getElementById('restart').focus();
  },
});
